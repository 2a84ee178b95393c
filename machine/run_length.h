// A run-length code for memory images, which are mostly long runs of one
// byte (erased flash is 0xFF, unused RAM 0).
//
// The code is a sequence of records. Each starts with a header, an unsigned
// LEB128 number h (7 bits a byte, low bits first, at most 5 bytes); the
// record covers count = h >> 1 bytes of the image, count >= 1:
//   h & 1 = 0  a literal: the count bytes follow as they are
//   h & 1 = 1  a run: one byte follows, repeated count times
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace pellux {

// Appends the code of the bytes to out.
void AppendRunLength(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out);

// Decodes code into exactly out.size() bytes. False when the code is
// malformed or holds more or fewer bytes than that; out may then be partly
// written. Never reads or writes outside the two spans.
bool DecodeRunLength(std::span<const std::uint8_t> code, std::span<std::uint8_t> out);

}  // namespace pellux
