// Line 4 operand instructions: NEGX, CLR, NEG, NOT, NBCD, TST, TAS, SWAP,
// PEA, EXT, MOVEM, MOVE from SR, MOVE to CCR, CHK and LEA.
#pragma once

#include <bit>

#include "cpu/alu.h"
#include "cpu/dispatch_types.h"
#include "cpu/effective_address.h"
#include "cpu/exceptions.h"

namespace pellux {

// Writes a value to Dn's low bits or a memory alterable address, without
// reading it first. Returns false when the mode is refused.
template <class S, class M>
inline bool WriteDataAlterable(M& m, std::uint32_t value) {
  CpuState& cpu = m.cpu;
  const unsigned mode = cpu.opMode();
  if (mode == 0) {
    SetLow<S>(cpu.d(cpu.opReg()), value);
    return true;
  }
  std::uint32_t address;
  if (!EaAddress<S>(m, mode, address)) return false;
  WriteSized<S>(m, address, value);
  return true;
}

template <class S, class M>
void Negx(M& m) {
  CpuState& cpu = m.cpu;
  ModifyDataAlterable<S>(m, [&](std::uint32_t operand) { return alu::SubX::Apply<S>(cpu, 0, operand); });
}

// CLR by the destination's addressing kind: written without reading it first.
template <class S, unsigned kKind, class M>
void Clr(M& m) {
  CpuState& cpu = m.cpu;
  if constexpr (kKind == 0) {
    SetLow<S>(cpu.d(cpu.opReg()), 0);
  } else {
    WriteSized<S>(m, OperandAddress<S, kKind>(m), 0);
  }
  cpu.v = cpu.c = 0;
  cpu.SetFlagsNZ(false, true);
}

template <class S, class M>
inline constexpr auto kClrHandlers =
    ByKind<M, kDataAlterableKinds, kKindAbsLong + 1>([](auto kind) { return &Clr<S, kind(), M>; });

template <class S, class M>
void Neg(M& m) {
  CpuState& cpu = m.cpu;
  ModifyDataAlterable<S>(m, [&](std::uint32_t operand) { return alu::Sub::Apply<S>(cpu, 0, operand); });
}

template <class S, class M>
void Not(M& m) {
  CpuState& cpu = m.cpu;
  ModifyDataAlterable<S>(m, [&](std::uint32_t operand) {
    SetLogicFlags<S>(cpu, ~operand);
    return ~operand;
  });
}

// NBCD: the decimal 0 - operand - X, with the flags of SBCD.
template <class M>
void Nbcd(M& m) {
  CpuState& cpu = m.cpu;
  ModifyDataAlterable<Byte>(m, [&](std::uint32_t operand) { return alu::Sbcd::Apply<Byte>(cpu, 0, operand); });
}

// TST reads Dn or a memory alterable operand (no PC-relative, no #imm).
template <class S, unsigned kKind, class M>
void Tst(M& m) {
  SetLogicFlags<S>(m.cpu, ReadOperand<S, kKind>(m));
}

template <class S, class M>
inline constexpr auto kTstHandlers =
    ByKind<M, kDataAlterableKinds, kKindAbsLong + 1>([](auto kind) { return &Tst<S, kind(), M>; });

// TAS: flags from the byte, then the byte written back with bit 7 set. Its
// immediate form is 0x4AFC, ILLEGAL, refused with the other modes.
template <class M>
void Tas(M& m) {
  CpuState& cpu = m.cpu;
  ModifyDataAlterable<Byte>(m, [&](std::uint32_t operand) {
    SetLogicFlags<Byte>(cpu, operand);
    return operand | 0x80;
  });
}

template <class M>
void Swap(M& m) {
  CpuState& cpu = m.cpu;
  std::uint32_t& reg = cpu.d(cpu.opReg());
  reg = reg << 16 | reg >> 16;
  SetLogicFlags<Long>(cpu, reg);
}

template <class M>
void Pea(M& m) {
  CpuState& cpu = m.cpu;
  std::uint32_t address;
  if (!EaControlAddress(m, cpu.opMode(), address)) return;
  cpu.a(7) -= 4;
  WriteLong(m, cpu.a(7), address);
}

// EXT.W (S = Word) and EXT.L (S = Long): the next smaller size sign-extended.
template <class S, class M>
void Ext(M& m) {
  CpuState& cpu = m.cpu;
  std::uint32_t& reg = cpu.d(cpu.opReg());
  const std::uint32_t value = S::bytes == 2 ? SignExtend8(reg) : SignExtend16(reg);
  SetLow<S>(reg, value);
  SetLogicFlags<S>(cpu, value);
}

// MOVEM registers to memory: -(An) or a control alterable address. The mask
// is the first extension word. In the -(An) form mask bit 0 is A7 and bit 15
// D0, and every register goes out with its value from before the
// instruction: An changes only at the end.
template <class S, class M>
void MovemToMemory(M& m) {
  CpuState& cpu = m.cpu;
  const unsigned mode = cpu.opMode();
  const std::uint32_t mask = FetchWord(m) & 0xFFFF;
  if (mode == 4) {
    std::uint32_t address = cpu.a(cpu.opReg());
    for (std::uint32_t bits = mask; bits; bits &= bits - 1) {
      address -= S::bytes;
      WriteSized<S>(m, address, cpu.regs[15 - std::countr_zero(bits)]);
    }
    cpu.a(cpu.opReg()) = address;
    return;
  }
  std::uint32_t address;
  if (!EaAddress<S>(m, mode, address)) return;
  for (std::uint32_t bits = mask; bits; bits &= bits - 1) {
    WriteSized<S>(m, address, cpu.regs[std::countr_zero(bits)]);
    address += S::bytes;
  }
}

// MOVEM memory to registers: (An)+ or a control address. Words are
// sign-extended into data registers too. (An)+ leaves An past the last
// operand whatever was loaded into it.
template <class S, class M>
void MovemToRegisters(M& m) {
  CpuState& cpu = m.cpu;
  const unsigned mode = cpu.opMode();
  const std::uint32_t mask = FetchWord(m) & 0xFFFF;
  std::uint32_t address;
  if (mode == 3) {
    address = cpu.a(cpu.opReg());
  } else if (!EaControlAddress(m, mode, address)) {
    return;
  }
  for (std::uint32_t bits = mask; bits; bits &= bits - 1) {
    cpu.regs[std::countr_zero(bits)] = ReadSized<S>(m, address);
    address += S::bytes;
  }
  if (mode == 3) cpu.a(cpu.opReg()) = address;
}

// MOVE from SR is not privileged on the MC68000.
template <class M>
void MoveFromSr(M& m) {
  WriteDataAlterable<Word>(m, GetSR(m.cpu));
}

template <class M>
void MoveToCcr(M& m) {
  std::uint32_t value;
  if (!ReadEa<Word>(m, m.cpu.opMode(), value)) return;
  SetCCR(m.cpu, value);
}

// CHK.W <ea>,Dn: vector 6 when Dn.w < 0 (N = 1) or Dn.w > bound (N = 0),
// both signed. Z, V and C never change.
template <class M>
void Chk(M& m) {
  CpuState& cpu = m.cpu;
  std::uint32_t bound;
  if (!ReadEa<Word>(m, cpu.opMode(), bound)) return;
  const auto value = static_cast<std::int16_t>(cpu.d(cpu.opReg2()));
  if (value < 0) {
    cpu.SetFlagN(true);
  } else if (value > static_cast<std::int16_t>(bound)) {
    cpu.SetFlagN(false);
  } else {
    return;
  }
  RaiseException(m, kVectorChk);
}

template <class M>
void Lea(M& m) {
  std::uint32_t address;
  if (!EaControlAddress(m, m.cpu.opMode(), address)) return;
  m.cpu.a(m.cpu.opReg2()) = address;
}

}  // namespace pellux
