// The operand forms of the two-operand instructions of lines 8, 9, B, C and
// D, generic over the operation (cpu/alu.h) and the size.
//
//   ea,Dn        Dn (bits 11-9) = Dn op source (bits 5-0)
//   ea,An        An (bits 11-9) = An op source, on all 32 bits
//   Dn,ea        the memory operand (bits 5-0) = memory op Dn (bits 11-9)
//   Dy,Dx        Dx (bits 11-9) = Dx op Dy (bits 2-0)
//   -(Ay),-(Ax)  both predecremented, the source (Ay) first
//
// The ea,Dn and ea,An forms, the commonest, have one handler per source
// addressing kind, so that the source's addressing is straight-line code.
#pragma once

#include <cstdint>

#include "cpu/alu.h"
#include "cpu/dispatch_types.h"
#include "cpu/effective_address.h"

namespace pellux {

template <class Op, class S, unsigned kSource, class M>
void EaToDataRegister(M& m) {
  CpuState& cpu = m.cpu;
  const std::uint32_t source = ReadOperand<S, kSource>(m);
  std::uint32_t& dn = cpu.d(cpu.opReg2());
  const std::uint32_t result = Op::template Apply<S>(cpu, dn, source);
  if constexpr (Op::kWritesResult) SetLow<S>(dn, result);
}

template <class Op, class S, class M>
inline constexpr HandlerArray<M, kAddressingKinds> kEaToDataRegister =
    HandlersBy<kAddressingKinds>([](auto source) { return &EaToDataRegister<Op, S, source(), M>; });

// ADDA, SUBA, CMPA: a word source is used sign-extended. When the source is
// (An)+ or -(An) of the same register, the operation sees the stepped value.
template <class Op, class S, unsigned kSource, class M>
void EaToAddressRegister(M& m) {
  CpuState& cpu = m.cpu;
  const std::uint32_t source = ReadOperand<S, kSource>(m);
  std::uint32_t& an = cpu.a(cpu.opReg2());
  an = Op::ApplyToAddress(cpu, an, source);
}

template <class Op, class S, class M>
inline constexpr HandlerArray<M, kAddressingKinds> kEaToAddressRegister =
    HandlersBy<kAddressingKinds>([](auto source) { return &EaToAddressRegister<Op, S, source(), M>; });

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

// The same with the destination's addressing kind (0 or 2 to 8) known.
template <class Op, class S, unsigned kKind, class M>
PELLUX_ALWAYS_INLINE void ApplyToKind(M& m, std::uint32_t source) {
  CpuState& cpu = m.cpu;
  if constexpr (kKind == 0) {
    std::uint32_t& dn = cpu.d(cpu.opReg());
    const std::uint32_t result = Op::template Apply<S>(cpu, dn, source);
    if constexpr (Op::kWritesResult) SetLow<S>(dn, result);
  } else {
    const std::uint32_t address = OperandAddress<S, kKind>(m);
    const std::uint32_t result = Op::template Apply<S>(cpu, ReadSized<S>(m, address), source);
    if constexpr (Op::kWritesResult) WriteSized<S>(m, address, result);
  }
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

}  // namespace pellux
