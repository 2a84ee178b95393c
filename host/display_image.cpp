#include "host/display_image.h"

#include <cstring>

namespace pellux {

namespace {

void StoreLe32(std::uint8_t* p, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void StoreLe16(std::uint8_t* p, std::uint16_t value) {
  p[0] = static_cast<std::uint8_t>(value);
  p[1] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace

void ScaleFrame(const std::uint8_t* frame, std::uint8_t* destination, int zoom) {
  const std::size_t stride = ScaledStride(zoom);
  const std::size_t rowBytes = kLcdWidth / 8;
  std::uint8_t* row = destination;
  for (std::uint32_t y = 0; y < kLcdHeight; ++y, frame += rowBytes) {
    unsigned bit = 0;  // destination bit within the row
    for (std::uint32_t x = 0; x < kLcdWidth; ++x) {
      if (frame[x / 8] & (0x80u >> (x % 8))) {
        for (int i = 0; i < zoom; ++i, ++bit) row[bit / 8] |= static_cast<std::uint8_t>(0x80u >> (bit % 8));
      } else {
        bit += static_cast<unsigned>(zoom);
      }
    }
    for (int copy = 1; copy < zoom; ++copy) std::memcpy(row + copy * stride, row, stride);
    row += static_cast<std::size_t>(zoom) * stride;
  }
}

namespace {

// The header of a 240 x 128 top-down bitmap; compression, image size,
// resolutions and colour counts stay 0.
void StoreDibHeader(std::uint8_t* p, std::uint16_t bitsPerPixel) {
  StoreLe32(p + 0, kDibHeaderBytes);
  StoreLe32(p + 4, kLcdWidth);
  StoreLe32(p + 8, static_cast<std::uint32_t>(-static_cast<std::int32_t>(kLcdHeight)));
  StoreLe16(p + 12, 1);  // planes
  StoreLe16(p + 14, bitsPerPixel);
}

}  // namespace

std::array<std::uint8_t, kClipboardDibBytes> BuildClipboardDib(const std::uint8_t* frame) {
  std::array<std::uint8_t, kClipboardDibBytes> block{};
  std::uint8_t* p = block.data();
  StoreDibHeader(p, 1);
  StoreLe32(p + kDibHeaderBytes, 0x00FFFFFF);  // colour 0: white
  StoreLe32(p + kDibHeaderBytes + 4, 0x00000000);  // colour 1: black
  ScaleFrame(frame, p + kDibPixelsOffset, 1);
  return block;
}

std::vector<std::uint8_t> BuildGreyClipboardDib(const LcdLevels& levels) {
  std::vector<std::uint8_t> block(kGreyClipboardDibBytes);
  std::uint8_t* p = block.data();
  StoreDibHeader(p, 8);
  for (std::uint32_t darkness = 0; darkness < 256; ++darkness) {
    const std::uint32_t grey = 255 - darkness;
    StoreLe32(p + kDibHeaderBytes + 4 * darkness, grey << 16 | grey << 8 | grey);
  }
  std::memcpy(p + kGreyDibPixelsOffset, levels.data(), kLcdPixels);  // rows of 240 bytes need no padding
  return block;
}

}  // namespace pellux
