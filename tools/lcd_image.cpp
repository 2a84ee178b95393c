#include "tools/lcd_image.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "machine/calculator.h"

namespace pellux {

namespace {

constexpr std::uint32_t kRowBytes = kLcdWidth / 8;
constexpr std::string_view kPbmHeader = "P4\n240 128\n";
constexpr int kMaxPngScale = 8;

void PutBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// One chunk: length, type, data, and the CRC of type and data.
void PutChunk(std::vector<std::uint8_t>& out, const char (&type)[5], std::span<const std::uint8_t> data) {
  PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBigEndian(out, Crc32(std::span(out).subspan(typeAt)));
}

}  // namespace

std::uint32_t Adler32(std::span<const std::uint8_t> bytes) {
  std::uint32_t a = 1, b = 0;
  for (const std::uint8_t byte : bytes) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return b << 16 | a;
}

std::vector<std::uint8_t> EncodePbm(LcdFrameView frame) {
  // P4 stores 1 for black, as the LCD stores 1 for a dark pixel.
  std::vector<std::uint8_t> out(kPbmHeader.size() + frame.size());
  std::copy(kPbmHeader.begin(), kPbmHeader.end(), out.begin());
  std::copy(frame.begin(), frame.end(), out.begin() + static_cast<std::ptrdiff_t>(kPbmHeader.size()));
  return out;
}

std::vector<std::uint8_t> DecodePbm(std::span<const std::uint8_t> file) {
  const std::size_t header = kPbmHeader.size();
  if (file.size() != header + kLcdFrameBytes ||
      !std::equal(kPbmHeader.begin(), kPbmHeader.end(), file.begin())) {
    return {};
  }
  return {file.begin() + static_cast<std::ptrdiff_t>(header), file.end()};
}

std::vector<std::uint8_t> EncodePng(LcdFrameView frame) { return EncodePng(frame, 1); }

namespace {

// The PNG around scanlines of greyscale at `depth` bits: a zlib stream of
// stored deflate blocks of at most 65535 bytes.
std::vector<std::uint8_t> WrapPng(const std::vector<std::uint8_t>& raw, std::uint32_t width, std::uint32_t height,
                                  std::uint8_t depth) {
  std::vector<std::uint8_t> z = {0x78, 0x01};
  for (std::size_t at = 0; at < raw.size();) {
    const std::size_t length = std::min<std::size_t>(65535, raw.size() - at);
    const bool last = at + length == raw.size();
    z.push_back(last ? 1 : 0);
    z.push_back(static_cast<std::uint8_t>(length));
    z.push_back(static_cast<std::uint8_t>(length >> 8));
    z.push_back(static_cast<std::uint8_t>(~length));
    z.push_back(static_cast<std::uint8_t>(~length >> 8));
    z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
             raw.begin() + static_cast<std::ptrdiff_t>(at + length));
    at += length;
  }
  PutBigEndian(z, Adler32(raw));

  std::vector<std::uint8_t> header;
  PutBigEndian(header, width);
  PutBigEndian(header, height);
  header.insert(header.end(), {depth, 0, 0, 0, 0});  // greyscale, deflate, no filter, no interlace

  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", z);
  PutChunk(png, "IEND", {});
  return png;
}

}  // namespace

std::vector<std::uint8_t> EncodePng(LcdFrameView frame, int scale) {
  scale = std::clamp(scale, 1, kMaxPngScale);
  const auto factor = static_cast<std::uint32_t>(scale);
  const std::uint32_t width = kLcdWidth * factor, height = kLcdHeight * factor;
  const std::uint32_t rowBytes = width / 8;  // 240 is a multiple of 8

  // Scanlines: filter byte 0, then the row; PNG grey at depth 1 has 0 = black.
  std::vector<std::uint8_t> raw;
  raw.reserve(height * (1 + rowBytes));
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint8_t* source = frame.data() + (y / factor) * kRowBytes;
    raw.push_back(0);
    const std::size_t rowAt = raw.size();
    raw.resize(rowAt + rowBytes, 0xFF);
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::uint32_t lcdX = x / factor;
      if (source[lcdX / 8] & (0x80u >> (lcdX % 8)))
        raw[rowAt + x / 8] &= static_cast<std::uint8_t>(~(0x80u >> (x % 8)));
    }
  }
  return WrapPng(raw, width, height, 1);
}

std::vector<std::uint8_t> EncodePng(const LcdPicture& picture, int scale) {
  if (!picture.grey) return EncodePng(picture.frame, scale);
  scale = std::clamp(scale, 1, kMaxPngScale);
  const auto factor = static_cast<std::uint32_t>(scale);
  const std::uint32_t width = kLcdWidth * factor, height = kLcdHeight * factor;

  // One byte a pixel; PNG grey has 0 = black, the levels 0 = white.
  std::vector<std::uint8_t> raw;
  raw.reserve(height * (1 + width));
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint8_t* source = picture.levels.data() + (y / factor) * kLcdWidth;
    raw.push_back(0);
    for (std::uint32_t x = 0; x < width; ++x) raw.push_back(static_cast<std::uint8_t>(255 - source[x / factor]));
  }
  return WrapPng(raw, width, height, 8);
}

}  // namespace pellux
