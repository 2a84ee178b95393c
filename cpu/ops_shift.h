// Line E: shifts and rotates.
//
//   register form (bits 7-6 = size): bits 11-9 count (1-8) or Dn (bit 5 = 1,
//     count = Dn mod 64), bit 8 left, bits 4-3 type, bits 2-0 the register
//   memory form (bits 7-6 = 11): one word shifted by one place, bit 11 must
//     be 0, bits 10-9 type, bit 8 left, bits 5-0 the operand
//
// Every count from 1 to 63 is done in one step: the operand is widened to
// 64 bits, where no shift by such a count is out of range, and the last bit
// out, ASL's overflow and the rotate rings are computed from it directly.
#pragma once

#include <array>
#include <cstdint>

#include "cpu/exceptions.h"
#include "cpu/effective_address.h"

namespace pellux {

template <class S>
inline constexpr unsigned kWidth = 8 * S::bytes;

// One operation: a count from 1 to 63 applied to the operand (already masked
// to the size), flags set, new value returned masked to the size.
using ShiftOp = std::uint32_t (*)(CpuState&, std::uint32_t, unsigned);

template <class S>
inline std::uint32_t FinishShift(CpuState& cpu, std::uint64_t result, std::uint64_t lastOut) {
  cpu.c = cpu.x = static_cast<std::uint8_t>(lastOut & 1);
  const auto value = static_cast<std::uint32_t>(result & S::mask);
  SetNZ<S>(cpu, value);
  return value;
}

// The sign fills in; past the width every bit is the old sign.
template <class S>
std::uint32_t Asr(CpuState& cpu, std::uint32_t value, unsigned count) {
  const std::int64_t wide = static_cast<std::int32_t>(S::Extend(value));
  cpu.v = 0;
  return FinishShift<S>(cpu, static_cast<std::uint64_t>(wide >> count),
                        static_cast<std::uint64_t>(wide >> (count - 1)));
}

template <class S>
std::uint32_t Lsr(CpuState& cpu, std::uint32_t value, unsigned count) {
  const std::uint64_t wide = value;
  cpu.v = 0;
  return FinishShift<S>(cpu, wide >> count, wide >> (count - 1));
}

// Left shifts: the last bit out is bit (width - count) of the operand, 0
// once the count passes the width. ASL's V is set when the top bit changes
// at any single step: the top count + 1 bits are not all alike or, from a
// count of the width on, the operand was not 0.
template <class S, bool Arithmetic>
std::uint32_t ShiftLeft(CpuState& cpu, std::uint32_t value, unsigned count) {
  constexpr unsigned width = kWidth<S>;
  const std::uint64_t wide = value;
  if constexpr (Arithmetic) {
    if (count < width) {
      const std::uint64_t top = ((std::uint64_t{2} << count) - 1) << (width - 1 - count);
      cpu.v = (wide & top) != 0 && (wide & top) != top;
    } else {
      cpu.v = wide != 0;
    }
  } else {
    cpu.v = 0;
  }
  return FinishShift<S>(cpu, wide << count, (wide << (count - 1)) >> (width - 1));
}

// The ring of width + 1 bits made of X above the operand. A count that is a
// multiple of the ring leaves it as it was; C is X in every case.
template <class S, bool Left>
std::uint32_t RotateExtend(CpuState& cpu, std::uint32_t value, unsigned count) {
  constexpr unsigned ring = kWidth<S> + 1;
  constexpr std::uint64_t ringMask = (std::uint64_t{1} << ring) - 1;
  const unsigned k = count % ring;
  std::uint64_t wide = std::uint64_t{cpu.x} << kWidth<S> | value;
  if (k != 0) {
    wide = Left ? (wide << k | wide >> (ring - k)) : (wide >> k | wide << (ring - k));
    wide &= ringMask;
  }
  cpu.v = 0;
  return FinishShift<S>(cpu, wide, wide >> kWidth<S>);
}

// Plain rotates keep X. C is the bit that came round last: bit 0 of the
// result for ROL, its top bit for ROR, also when the count is a multiple of
// the width and the operand is unchanged.
template <class S, bool Left>
std::uint32_t Rotate(CpuState& cpu, std::uint32_t value, unsigned count) {
  constexpr unsigned width = kWidth<S>;
  const unsigned k = count % width;
  const std::uint64_t wide = value;
  std::uint32_t result = value;
  if (k != 0) {
    result = static_cast<std::uint32_t>((Left ? (wide << k | wide >> (width - k)) : (wide >> k | wide << (width - k))) &
                                        S::mask);
  }
  cpu.c = Left ? (result & 1) : ((result >> (width - 1)) & 1);
  cpu.v = 0;
  SetNZ<S>(cpu, result);
  return result;
}

// By type (bits 4-3 of the register form, 10-9 of the memory form): AS, LS, ROX, RO.
template <class S, bool Left>
inline constexpr std::array<ShiftOp, 4> kShiftOps = {
    Left ? ShiftLeft<S, true> : Asr<S>, Left ? ShiftLeft<S, false> : Lsr<S>, RotateExtend<S, Left>,
    Rotate<S, Left>};

enum : unsigned { kShiftTypeRotateExtend = 2 };

template <class S, bool Left, class M>
void ShiftRegister(M& m) {
  CpuState& cpu = m.cpu;
  const unsigned field = cpu.opReg2();
  const unsigned count = (cpu.opcode & 0x20) ? (cpu.d(field) & 63) : (field ? field : 8);
  const unsigned type = (cpu.opcode >> 3) & 3;
  std::uint32_t& reg = cpu.d(cpu.opReg());
  if (count == 0) {
    // Nothing moves: C is 0 (X for the extend rotates), X stays.
    SetLogicFlags<S>(cpu, reg);
    if (type == kShiftTypeRotateExtend) cpu.c = cpu.x;
    return;
  }
  SetLow<S>(reg, kShiftOps<S, Left>[type](cpu, reg & S::mask, count));
}

template <bool Left, class M>
void ShiftMemory(M& m) {
  CpuState& cpu = m.cpu;
  if (cpu.opcode & 0x800) {
    RaiseIllegal(m);
    return;
  }
  std::uint32_t address;
  if (!EaAddress<Word>(m, cpu.opMode(), address)) return;
  const unsigned type = (cpu.opcode >> 9) & 3;
  WriteWord(m, address, kShiftOps<Word, Left>[type](cpu, ReadWord(m, address) & 0xFFFF, 1));
}

}  // namespace pellux
