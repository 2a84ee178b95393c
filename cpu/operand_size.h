// Operand sizes as types, so one handler template serves .B, .W and .L.
#pragma once

#include <cstdint>

#include "cpu/always_inline.h"
#include "cpu/big_endian.h"
#include "cpu/cpu_state.h"

namespace pellux {

struct Byte {
  static constexpr unsigned bytes = 1;
  static constexpr std::uint32_t mask = 0xFF;
  static constexpr std::uint32_t msb = 0x80;
  PELLUX_ALWAYS_INLINE static std::uint32_t Extend(std::uint32_t value) { return SignExtend8(value); }
};

struct Word {
  static constexpr unsigned bytes = 2;
  static constexpr std::uint32_t mask = 0xFFFF;
  static constexpr std::uint32_t msb = 0x8000;
  PELLUX_ALWAYS_INLINE static std::uint32_t Extend(std::uint32_t value) { return SignExtend16(value); }
};

struct Long {
  static constexpr unsigned bytes = 4;
  static constexpr std::uint32_t mask = 0xFFFFFFFF;
  static constexpr std::uint32_t msb = 0x80000000;
  PELLUX_ALWAYS_INLINE static std::uint32_t Extend(std::uint32_t value) { return value; }
};

// Replaces the low 8, 16 or 32 bits of a register, keeping the rest.
template <class S>
PELLUX_ALWAYS_INLINE void SetLow(std::uint32_t& reg, std::uint32_t value) {
  reg = (reg & ~S::mask) | (value & S::mask);
}

// How far (An)+ and -(An) move An: a byte on A7 moves it by 2 to keep the stack even.
template <class S>
PELLUX_ALWAYS_INLINE std::uint32_t AddressStep(unsigned reg) {
  if constexpr (S::bytes == 1) {
    return reg == 7 ? 2 : 1;
  } else {
    return S::bytes;
  }
}

template <class S, class M>
PELLUX_ALWAYS_INLINE std::uint32_t ReadSized(M& m, std::uint32_t address) {
  if constexpr (S::bytes == 1) {
    return ReadByte(m, address);
  } else if constexpr (S::bytes == 2) {
    return ReadWord(m, address);
  } else {
    return ReadLong(m, address);
  }
}

template <class S, class M>
PELLUX_ALWAYS_INLINE void WriteSized(M& m, std::uint32_t address, std::uint32_t value) {
  if constexpr (S::bytes == 1) {
    WriteByte(m, address, value);
  } else if constexpr (S::bytes == 2) {
    WriteWord(m, address, value);
  } else {
    WriteLong(m, address, value);
  }
}

// The N-and-Z word of a 32-bit result: the result sign-extended.
PELLUX_ALWAYS_INLINE std::uint64_t NzWord(std::uint32_t result) {
  return static_cast<std::uint64_t>(std::int64_t{static_cast<std::int32_t>(result)});
}

// N and Z from a result at the operand size (bits above it are ignored).
template <class S>
PELLUX_ALWAYS_INLINE void SetNZ(CpuState& cpu, std::uint32_t result) {
  cpu.nz = NzWord(S::Extend(result));
}

// The flags of MOVE and the logic instructions: N, Z from the result, V = C = 0.
template <class S>
PELLUX_ALWAYS_INLINE void SetLogicFlags(CpuState& cpu, std::uint32_t result) {
  SetNZ<S>(cpu, result);
  cpu.v = 0;
  cpu.c = 0;
}

}  // namespace pellux
