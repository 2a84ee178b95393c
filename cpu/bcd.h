// Packed-BCD addition and subtraction of one byte, shared by ABCD, SBCD and
// NBCD. For valid BCD operands this is the decimal sum or difference; for
// other operands the adjustment rule below is the result.
#pragma once

#include <cstdint>

namespace pellux {

struct BcdResult {
  std::uint8_t value;
  std::uint8_t carry;  // decimal carry or borrow: goes to C and X
};

// destination + source + extend, adjusted: +6 when the low digit is above 9
// or carried, +0x60 when the plain sum is above 0x99 or carried.
inline BcdResult AddBcd(unsigned destination, unsigned source, unsigned extend) {
  destination &= 0xFF;
  source &= 0xFF;
  const unsigned plain = destination + source + extend;
  const unsigned s = plain & 0xFF;
  const bool halfCarry = (destination & 15) + (source & 15) + extend > 15;
  unsigned r = ((s & 15) > 9 || halfCarry) ? s + 6 : s;
  std::uint8_t carry = 0;
  if (s > 0x99 || plain > 0xFF) {
    r += 0x60;
    carry = 1;
  }
  return {static_cast<std::uint8_t>(r), carry};
}

// destination - source - extend, adjusted: -6 when the low digit is above 9
// or borrowed, -0x60 when the plain difference is above 0x99 or borrowed.
inline BcdResult SubtractBcd(unsigned destination, unsigned source, unsigned extend) {
  destination &= 0xFF;
  source &= 0xFF;
  const unsigned s = (destination - source - extend) & 0xFF;
  const bool borrow = destination < source + extend;
  const bool halfBorrow = (destination & 15) < (source & 15) + extend;
  unsigned r = s;
  std::uint8_t carry = 0;
  if ((s & 15) > 9 || halfBorrow) {
    r = (s - 6) & 0xFF;
    carry = borrow || s < 6;
  }
  if (s > 0x99 || borrow) {
    r = (r - 0x60) & 0xFF;
    carry = 1;
  }
  return {static_cast<std::uint8_t>(r), carry};
}

}  // namespace pellux
