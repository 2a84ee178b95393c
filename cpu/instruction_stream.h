// Reading the instruction stream at the PC.
#pragma once

#include <cstdint>

#include "cpu/always_inline.h"

namespace pellux {

// The word at pc, sign-extended; pc moves past it. An odd pc is an address
// fault like any odd word access, and the word read is then 1.
template <class M>
PELLUX_ALWAYS_INLINE std::uint32_t FetchWord(M& m) {
  const std::uint32_t word = ReadWord(m, m.cpu.pc);
  m.cpu.pc += 2;
  return word;
}

template <class M>
PELLUX_ALWAYS_INLINE std::uint32_t FetchLong(M& m) {
  const std::uint32_t value = ReadLong(m, m.cpu.pc);
  m.cpu.pc += 4;
  return value;
}

}  // namespace pellux
