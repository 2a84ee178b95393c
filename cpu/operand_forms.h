// The operand forms of the two-operand instructions of lines 8, 9, B, C and
// D, generic over the operation (cpu/alu.h) and the size.
//
//   ea,Dn        Dn (bits 11-9) = Dn op source (bits 5-0)
//   ea,An        An (bits 11-9) = An op source, on all 32 bits
//   Dn,ea        the memory operand (bits 5-0) = memory op Dn (bits 11-9)
//   Dy,Dx        Dx (bits 11-9) = Dx op Dy (bits 2-0)
//   -(Ay),-(Ax)  both predecremented, the source (Ay) first
//
// Every refusal comes from the operand operation, before any side effect.
// The ea,Dn and ea,An forms, the commonest, go on through a row by source
// mode (BySource), so that the source's addressing is straight-line code.
#pragma once

#include <cstdint>

#include "cpu/alu.h"
#include "cpu/dispatch_types.h"
#include "cpu/effective_address.h"

namespace pellux {

template <class Op, class S, unsigned kSource, class M>
void EaToDataRegisterFrom(M& m) {
  CpuState& cpu = m.cpu;
  std::uint32_t source;
  if (!ReadEaValue<S, Op::kAcceptsAn>(m, kSource, source)) return;
  std::uint32_t& dn = cpu.d(cpu.opReg2());
  const std::uint32_t result = Op::template Apply<S>(cpu, dn, source);
  if constexpr (Op::kWritesResult) SetLow<S>(dn, result);
}

template <class Op, class S, class M>
inline constexpr HandlerRow<M> kEaToDataRegisterBySource =
    BySource<M>([](auto source) { return &EaToDataRegisterFrom<Op, S, source(), M>; }, kSourceModes);

template <class Op, class S, class M>
void EaToDataRegister(M& m) {
  kEaToDataRegisterBySource<Op, S, M>[m.cpu.opMode()](m);
}

// ADDA, SUBA, CMPA: a word source is used sign-extended. When the source is
// (An)+ or -(An) of the same register, the operation sees the stepped value.
template <class Op, class S, unsigned kSource, class M>
void EaToAddressRegisterFrom(M& m) {
  CpuState& cpu = m.cpu;
  std::uint32_t source;
  if (!ReadEaAny<S>(m, kSource, source)) return;
  std::uint32_t& an = cpu.a(cpu.opReg2());
  an = Op::ApplyToAddress(cpu, an, source);
}

template <class Op, class S, class M>
inline constexpr HandlerRow<M> kEaToAddressRegisterBySource =
    BySource<M>([](auto source) { return &EaToAddressRegisterFrom<Op, S, source(), M>; }, kSourceModes);

template <class Op, class S, class M>
void EaToAddressRegister(M& m) {
  kEaToAddressRegisterBySource<Op, S, M>[m.cpu.opMode()](m);
}

// The memory alterable operand of bits 5-0, addressed once, read, combined
// with source and written back.
template <class Op, class S, class M>
inline void ApplyToMemory(M& m, std::uint32_t source) {
  std::uint32_t address;
  if (!EaAddress<S>(m, m.cpu.opMode(), address)) return;
  const std::uint32_t result = Op::template Apply<S>(m.cpu, ReadSized<S>(m, address), source);
  if constexpr (Op::kWritesResult) WriteSized<S>(m, address, result);
}

// A data alterable destination: Dn of bits 2-0, or memory.
template <class Op, class S, class M>
inline void ApplyToDataAlterable(M& m, std::uint32_t source) {
  CpuState& cpu = m.cpu;
  if (cpu.opMode() == 0) {
    std::uint32_t& dn = cpu.d(cpu.opReg());
    const std::uint32_t result = Op::template Apply<S>(cpu, dn, source);
    if constexpr (Op::kWritesResult) SetLow<S>(dn, result);
    return;
  }
  ApplyToMemory<Op, S>(m, source);
}

template <class Op, class S, class M>
void DataRegisterToMemory(M& m) {
  ApplyToMemory<Op, S>(m, m.cpu.d(m.cpu.opReg2()));
}

template <class Op, class S, class M>
void DataRegisterPair(M& m) {
  CpuState& cpu = m.cpu;
  std::uint32_t& dx = cpu.d(cpu.opReg2());
  SetLow<S>(dx, Op::template Apply<S>(cpu, dx, cpu.d(cpu.opReg())));
}

// A byte step on A7 is 2, as everywhere.
template <class Op, class S, class M>
void PredecrementPair(M& m) {
  CpuState& cpu = m.cpu;
  const unsigned ry = cpu.opReg(), rx = cpu.opReg2();
  cpu.a(ry) -= AddressStep<S>(ry);
  const std::uint32_t source = ReadSized<S>(m, cpu.a(ry));
  cpu.a(rx) -= AddressStep<S>(rx);
  const std::uint32_t address = cpu.a(rx);
  WriteSized<S>(m, address, Op::template Apply<S>(cpu, ReadSized<S>(m, address), source));
}

// Opmodes 100-110 of lines 8, 9, C and D: modes 000 and 001 name the register
// pair forms (ADDX, SUBX, ABCD, SBCD), every other mode is Dn,ea.
template <class PairOp, class Op, class S, class M>
void PairOrMemory(M& m) {
  switch (m.cpu.opMode()) {
    case 0:
      DataRegisterPair<PairOp, S>(m);
      return;
    case 1:
      PredecrementPair<PairOp, S>(m);
      return;
    default:
      DataRegisterToMemory<Op, S>(m);
  }
}

}  // namespace pellux
