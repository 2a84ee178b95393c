// The LCD frame as a 1-bit image for the screen and the clipboard: rows top
// first, each padded to 32 bits, pixel 0 in the most significant bit of the
// row's first byte, 1 = dark; colour 0 white, colour 1 black.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "machine/calculator.h"

namespace pellux {

constexpr int kMinZoom = 1;
constexpr int kMaxZoom = 5;

constexpr int ScaledWidth(int zoom) { return static_cast<int>(kLcdWidth) * zoom; }
constexpr int ScaledHeight(int zoom) { return static_cast<int>(kLcdHeight) * zoom; }
constexpr std::size_t ScaledStride(int zoom) { return (static_cast<std::size_t>(ScaledWidth(zoom)) + 31) / 32 * 4; }
constexpr std::size_t ScaledImageBytes(int zoom) {
  return ScaledStride(zoom) * static_cast<std::size_t>(ScaledHeight(zoom));
}

// Expands a 3840-byte frame into a scaled image of ScaledImageBytes(zoom)
// bytes that starts zeroed: each pixel becomes a zoom x zoom square. Only
// dark pixels are written.
void ScaleFrame(const std::uint8_t* frame, std::uint8_t* destination, int zoom);

// The screenshot as a device-independent bitmap (the BMP format's body): a
// 40-byte header (240 wide, -128 high so rows run top first, 1 plane, 1 bit
// per pixel), the two colours white and black, then 128 rows of 32 bytes.
constexpr std::size_t kDibHeaderBytes = 40;
constexpr std::size_t kDibPixelsOffset = kDibHeaderBytes + 2 * 4;
constexpr std::size_t kClipboardDibBytes = kDibPixelsOffset + ScaledImageBytes(1);  // 4144
std::array<std::uint8_t, kClipboardDibBytes> BuildClipboardDib(const std::uint8_t* frame);

// A picture with grey: 8 bits per pixel, a colour table of 256 greys in
// which index n is darkness n (0 white, 255 black), 128 rows of 240 bytes.
constexpr std::size_t kGreyDibPixelsOffset = kDibHeaderBytes + 256 * 4;
constexpr std::size_t kGreyClipboardDibBytes = kGreyDibPixelsOffset + kLcdPixels;
std::vector<std::uint8_t> BuildGreyClipboardDib(const LcdLevels& levels);

}  // namespace pellux
