#include "tests/png_reader.h"

#include <algorithm>

#include "machine/checksums.h"
#include "tools/lcd_image.h"

namespace pellux::test {

namespace {

std::uint32_t BigEndianAt(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at] << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 | bytes[at + 3]);
}

}  // namespace

unsigned StoredPng::Grey(std::uint32_t x, std::uint32_t y) const {
  const std::size_t stride = 1 + (static_cast<std::size_t>(width) * depth + 7) / 8;
  const std::uint8_t* row = &raw[y * stride + 1];
  if (depth == 8) return row[x];
  return (row[x / 8] >> (7 - x % 8)) & 1 ? 255 : 0;
}

Result<StoredPng> ReadStoredPng(const std::vector<std::uint8_t>& png) {
  StoredPng out;
  const std::vector<std::uint8_t> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (png.size() < 8 || !std::equal(signature.begin(), signature.end(), png.begin())) {
    return Fail("no PNG signature");
  }
  std::vector<std::uint8_t> header, zlib;
  for (std::size_t at = 8; at < png.size();) {
    if (at + 12 > png.size()) return Fail("a chunk cut short");
    const std::uint32_t length = BigEndianAt(png, at);
    if (at + 12 + length > png.size()) return Fail("a chunk longer than the file");
    const std::string type(png.begin() + static_cast<std::ptrdiff_t>(at + 4),
                           png.begin() + static_cast<std::ptrdiff_t>(at + 8));
    out.chunkTypes.push_back(type);
    if (Crc32({png.data() + at + 4, length + 4}) != BigEndianAt(png, at + 8 + length)) {
      return Fail("bad CRC in " + type);
    }
    std::vector<std::uint8_t>& into = type == "IHDR" ? header : zlib;
    if (type != "IEND") into.insert(into.end(), png.begin() + static_cast<std::ptrdiff_t>(at + 8),
                                    png.begin() + static_cast<std::ptrdiff_t>(at + 8 + length));
    at += 12 + length;
  }
  if (header.size() != 13) return Fail("IHDR is not 13 bytes");
  out.width = BigEndianAt(header, 0);
  out.height = BigEndianAt(header, 4);
  out.depth = header[8];
  out.colourType = header[9];
  if (zlib.size() < 6 || (zlib[0] << 8 | zlib[1]) % 31 != 0 || (zlib[0] & 0x0F) != 8) {
    return Fail("not a zlib stream");
  }
  std::size_t at = 2;
  for (bool last = false; !last;) {
    if (at + 5 > zlib.size()) return Fail("a block cut short");
    last = zlib[at] & 1;
    const unsigned length = zlib[at + 1] | zlib[at + 2] << 8;
    if ((zlib[at] & 6) != 0 || (length ^ (zlib[at + 3] | zlib[at + 4] << 8)) != 0xFFFFu) {
      return Fail("not a stored block");
    }
    if (at + 5 + length > zlib.size()) return Fail("a block longer than the stream");
    out.raw.insert(out.raw.end(), zlib.begin() + static_cast<std::ptrdiff_t>(at + 5),
                   zlib.begin() + static_cast<std::ptrdiff_t>(at + 5 + length));
    at += 5 + length;
  }
  if (at + 4 != zlib.size() || BigEndianAt(zlib, at) != Adler32(out.raw)) return Fail("bad Adler-32");
  const std::size_t stride = 1 + (static_cast<std::size_t>(out.width) * out.depth + 7) / 8;
  if (out.raw.size() != stride * out.height) return Fail("scanlines of the wrong size");
  return out;
}

}  // namespace pellux::test
