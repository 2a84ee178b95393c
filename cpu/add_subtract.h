// Two's-complement addition and subtraction at an operand size, with the
// carry, overflow and sign flags they produce. Z and X are left to the
// caller: ADD and SUB set X, CMP does not, and the extended forms (ADDX,
// SUBX, NEGX) only ever clear Z.
#pragma once

#include <cstdint>

#include "cpu/cpu_state.h"
#include "cpu/operand_size.h"

namespace pellux {

// destination + source + carryIn at size S; sets C (carry out of the top
// bit), V (signed overflow) and N, and returns the result masked to S.
template <class S>
inline std::uint32_t AddSetCvn(CpuState& cpu, std::uint32_t destination, std::uint32_t source,
                               std::uint32_t carryIn) {
  const std::uint32_t result = (destination + source + carryIn) & S::mask;
  cpu.c = (((source & destination) | (~result & (source | destination))) & S::msb) != 0;
  cpu.v = (((source ^ result) & (destination ^ result)) & S::msb) != 0;
  cpu.n = (result & S::msb) != 0;
  return result;
}

// destination - source - borrowIn at size S; sets C (borrow into the top
// bit), V (signed overflow) and N, and returns the result masked to S.
template <class S>
inline std::uint32_t SubtractSetCvn(CpuState& cpu, std::uint32_t destination, std::uint32_t source,
                                    std::uint32_t borrowIn) {
  const std::uint32_t result = (destination - source - borrowIn) & S::mask;
  cpu.c = (((source & result) | (~destination & (source | result))) & S::msb) != 0;
  cpu.v = (((source ^ destination) & (result ^ destination)) & S::msb) != 0;
  cpu.n = (result & S::msb) != 0;
  return result;
}

}  // namespace pellux
