// The LCD frame scaled into the 1-bit display image, and the clipboard block.
#include <gtest/gtest.h>

#include <vector>

#include "host/display_image.h"

namespace pellux {
namespace {

std::vector<std::uint8_t> PatternFrame() {
  std::vector<std::uint8_t> frame(kLcdFrameBytes);
  std::uint32_t state = 12345;
  for (auto& byte : frame) {
    state = state * 1103515245 + 12345;
    byte = static_cast<std::uint8_t>(state >> 16);
  }
  return frame;
}

bool FramePixel(const std::vector<std::uint8_t>& frame, unsigned x, unsigned y) {
  return frame[y * 30 + x / 8] & (0x80 >> (x % 8));
}

TEST(ScaleFrame, RowStridesAreRoundedUpTo32Bits) {
  const std::size_t expected[] = {32, 60, 92, 120, 152};
  for (int zoom = 1; zoom <= 5; ++zoom) {
    EXPECT_EQ(ScaledStride(zoom), expected[zoom - 1]) << zoom;
    EXPECT_EQ(ScaledImageBytes(zoom), expected[zoom - 1] * 128 * static_cast<std::size_t>(zoom)) << zoom;
  }
}

TEST(ScaleFrame, EveryPixelBecomesASquareAtEveryZoom) {
  const auto frame = PatternFrame();
  for (int zoom = 1; zoom <= 5; ++zoom) {
    const std::size_t stride = ScaledStride(zoom);
    std::vector<std::uint8_t> image(ScaledImageBytes(zoom) + 16, 0);  // 16 guard bytes
    ScaleFrame(frame.data(), image.data(), zoom);
    for (std::size_t y = 0; y < static_cast<std::size_t>(ScaledHeight(zoom)); ++y) {
      for (std::size_t x = 0; x < stride * 8; ++x) {
        const bool dark = image[y * stride + x / 8] & (0x80 >> (x % 8));
        const bool expected = x < static_cast<std::size_t>(ScaledWidth(zoom)) &&
                              FramePixel(frame, static_cast<unsigned>(x) / zoom, static_cast<unsigned>(y) / zoom);
        ASSERT_EQ(dark, expected) << "zoom " << zoom << " at " << x << "," << y;
      }
    }
    for (std::size_t i = ScaledImageBytes(zoom); i < image.size(); ++i) ASSERT_EQ(image[i], 0) << zoom;
  }
}

TEST(ScaleFrame, OneDarkPixelAtZoom5IsA5By5Square) {
  std::vector<std::uint8_t> frame(kLcdFrameBytes, 0);
  frame[10 * 30 + 3] = 0x10;  // pixel (27, 10)
  std::vector<std::uint8_t> image(ScaledImageBytes(5), 0);
  ScaleFrame(frame.data(), image.data(), 5);
  int dark = 0;
  for (std::size_t y = 0; y < 640; ++y) {
    for (std::size_t x = 0; x < 1200; ++x) {
      if (image[y * 152 + x / 8] & (0x80 >> (x % 8))) {
        ++dark;
        EXPECT_TRUE(x >= 135 && x < 140 && y >= 50 && y < 55) << x << "," << y;
      }
    }
  }
  EXPECT_EQ(dark, 25);
}

TEST(ClipboardDib, IsTheHeaderColoursAndTopDownRowsByteForByte) {
  const auto frame = PatternFrame();
  const auto block = BuildClipboardDib(frame.data());
  ASSERT_EQ(block.size(), 4144u);
  const std::uint8_t head[48] = {
      40, 0, 0, 0,                 // header size
      240, 0, 0, 0,                // width
      0x80, 0xFF, 0xFF, 0xFF,      // height -128: the top row first
      1, 0,                        // planes
      1, 0,                        // bits per pixel
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // compression, image size, resolutions
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // and colour counts
      0xFF, 0xFF, 0xFF, 0x00,      // colour 0: white
      0x00, 0x00, 0x00, 0x00,      // colour 1: black
  };
  for (std::size_t i = 0; i < 48; ++i) EXPECT_EQ(block[i], head[i]) << "byte " << i;
  for (std::size_t row = 0; row < 128; ++row) {
    for (std::size_t i = 0; i < 32; ++i) {
      const std::uint8_t expected = i < 30 ? frame[row * 30 + i] : 0;
      ASSERT_EQ(block[48 + row * 32 + i], expected) << "row " << row << " byte " << i;
    }
  }
}

}  // namespace
}  // namespace pellux
