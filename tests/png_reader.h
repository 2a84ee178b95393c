// Reads back the PNG files Pellux writes (stored deflate blocks only),
// checking every chunk's length and CRC and the stream's Adler-32.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"

namespace pellux::test {

struct StoredPng {
  std::vector<std::string> chunkTypes;
  std::uint32_t width = 0, height = 0;
  unsigned depth = 0, colourType = 0;
  std::vector<std::uint8_t> raw;  // the scanlines, each with its filter byte
  // The sample at (x, y) of an 8-bit or 1-bit greyscale image.
  unsigned Grey(std::uint32_t x, std::uint32_t y) const;
};

// The image, or what in the file is not as Pellux writes it.
Result<StoredPng> ReadStoredPng(const std::vector<std::uint8_t>& png);

}  // namespace pellux::test
