// The LCD frame as image files: PBM (P4) and PNG, 240 x 128 (PNG also
// enlarged by a whole factor) with dark pixels black on white. The PNG is written by hand (stored deflate
// blocks, CRC-32, Adler-32), so no image library is needed.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "machine/calculator.h"
#include "machine/checksums.h"  // Crc32

namespace pellux {

// The 3840-byte LCD frame: 30 bytes a row, MSB leftmost, 1 = dark.
using LcdFrameView = std::span<const std::uint8_t, kLcdFrameBytes>;

std::vector<std::uint8_t> EncodePbm(LcdFrameView frame);
std::vector<std::uint8_t> EncodePng(LcdFrameView frame);
// The frame enlarged: each LCD pixel a square of scale x scale pixels (1..8).
std::vector<std::uint8_t> EncodePng(LcdFrameView frame, int scale);
// What a host shows: the 1-bit PNG of its frame when it holds no grey (the
// bytes above), else an 8-bit grey PNG of its levels.
std::vector<std::uint8_t> EncodePng(const LcdPicture& picture, int scale);

// The frame of a P4 file of 240 x 128 pixels; empty when the bytes are not one.
std::vector<std::uint8_t> DecodePbm(std::span<const std::uint8_t> file);

std::uint32_t Adler32(std::span<const std::uint8_t> bytes);

}  // namespace pellux
