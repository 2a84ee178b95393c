// Line 0: immediate, bit and MOVEP instructions.
#pragma once

#include <functional>

#include "cpu/alu.h"
#include "cpu/dispatch_types.h"
#include "cpu/effective_address.h"
#include "cpu/operand_forms.h"

namespace pellux {

// The immediate that follows the opcode: a byte is the low byte of one word.
template <class S, class M>
inline std::uint32_t FetchImmediate(M& m) {
  if constexpr (S::bytes == 4) {
    return FetchLong(m);
  } else {
    return S::Extend(FetchWord(m));
  }
}

// ORI, ANDI, EORI to CCR (byte, unprivileged) and to SR (word, privileged:
// the immediate is fetched before the supervisor test).
template <class S, class Combine, class M>
void ImmediateToStatus(M& m) {
  CpuState& cpu = m.cpu;
  const std::uint32_t immediate = FetchWord(m);
  if constexpr (S::bytes == 1) {
    SetCCR(cpu, Combine{}(GetSR(cpu), immediate));
  } else {
    if (!cpu.s) {
      RaisePrivilege(m);
      return;
    }
    SetSR(m, Combine{}(GetSR(cpu), immediate));
  }
}

// ORI, ANDI, SUBI, ADDI, EORI #imm,<ea>: Dn or a memory alterable operand,
// by its addressing kind.
template <class S, class Op, unsigned kKind, class M>
void ImmediateOp(M& m) {
  const std::uint32_t immediate = FetchImmediate<S>(m);
  ApplyToKind<Op, S, kKind>(m, immediate);
}

template <class S, class Op, class M>
inline constexpr auto kImmediateHandlers =
    ByKind<M, kDataAlterableKinds, kKindAbsLong + 1>([](auto kind) { return &ImmediateOp<S, Op, kind(), M>; });

// CMPI #imm,<ea>: every data mode but an immediate, PC-relative included.
template <class S, unsigned kKind, class M>
void Cmpi(M& m) {
  const std::uint32_t immediate = FetchImmediate<S>(m);
  const std::uint32_t operand = ReadOperand<S, kKind>(m);
  alu::Cmp::Apply<S>(m.cpu, operand, immediate);
}

template <class S, class M>
inline constexpr auto kCmpiHandlers =
    ByKind<M, kDataNoImmediateKinds, kAddressingKinds>([](auto kind) { return &Cmpi<S, kind(), M>; });

// The single-bit instructions. Only Z changes, from the bit as it was.
enum class BitOp { Test, Change, Clear, Set };

template <BitOp Op>
inline std::uint32_t ApplyBit(CpuState& cpu, std::uint32_t value, unsigned bit) {
  const std::uint32_t mask = 1u << bit;
  // Z from the bit, N kept: the bit itself is the low word.
  cpu.nz = (cpu.nz & kNzSign) | (value & mask);
  if constexpr (Op == BitOp::Change) return value ^ mask;
  if constexpr (Op == BitOp::Clear) return value & ~mask;
  if constexpr (Op == BitOp::Set) return value | mask;
  return value;
}

// Bit number taken modulo 32 on a data register, modulo 8 on a memory byte.
// BTST reads any data operand but An; the others need a data-alterable one.
template <BitOp Op, class M>
void BitOnOperand(M& m, std::uint32_t bitNumber) {
  CpuState& cpu = m.cpu;
  const unsigned mode = cpu.opMode();
  if (mode == 0) {
    std::uint32_t& reg = cpu.d(cpu.opReg());
    reg = ApplyBit<Op>(cpu, reg, bitNumber & 31);
    return;
  }
  if constexpr (Op == BitOp::Test) {
    std::uint32_t value;
    if (!ReadEa<Byte>(m, mode, value)) return;
    ApplyBit<Op>(cpu, value, bitNumber & 7);
  } else {
    std::uint32_t address;
    if (!EaAddress<Byte>(m, mode, address)) return;
    WriteByte(m, address, ApplyBit<Op>(cpu, ReadByte(m, address), bitNumber & 7));
  }
}

// BTST, BCHG, BCLR, BSET #n,<ea>: the bit number is the next word. BTST
// refuses an immediate destination before fetching it.
template <BitOp Op, class M>
void BitStatic(M& m) {
  if constexpr (Op == BitOp::Test) {
    if (m.cpu.opMode() == 7 && m.cpu.opReg() == 4) {
      RaiseIllegal(m);
      return;
    }
  }
  BitOnOperand<Op>(m, FetchWord(m));
}

// MOVEP: bytes at every second address from d16(Ay), high byte first.
template <class S, bool ToMemory, class M>
void Movep(M& m) {
  CpuState& cpu = m.cpu;
  std::uint32_t address = cpu.a(cpu.opReg()) + FetchWord(m);
  std::uint32_t& reg = cpu.d(cpu.opReg2());
  for (int shift = 8 * (S::bytes - 1); shift >= 0; shift -= 8, address += 2) {
    if constexpr (ToMemory) {
      WriteByte(m, address, reg >> shift);
    } else {
      reg = (reg & ~(0xFFu << shift)) | (ReadByte(m, address) & 0xFF) << shift;
    }
  }
}

// BTST, BCHG, BCLR, BSET Dx,<ea>: the bit number is in Dx of bits 11-9.
template <BitOp Op, class M>
void BitDynamic(M& m) {
  BitOnOperand<Op>(m, m.cpu.d(m.cpu.opReg2()));
}

}  // namespace pellux
