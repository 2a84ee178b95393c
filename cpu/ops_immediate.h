// Line 0: immediate, bit and MOVEP instructions.
//
//   bits 8-6   000-010: by bits 11-9 ORI ANDI SUBI ADDI (bit #n) EORI CMPI -
//              011: BSET #n when bits 11-9 = 100, else nothing
//              100-111: BTST BCHG BCLR BSET Dx,<ea>; mode 1 is MOVEP
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

// ORI, ANDI, SUBI, ADDI, EORI #imm,<ea>: Dn or a memory alterable operand.
template <class S, class Op, class M>
void ImmediateOp(M& m) {
  const std::uint32_t immediate = FetchImmediate<S>(m);
  ApplyToDataAlterable<Op, S>(m, immediate);
}

// ORI, ANDI, EORI, whose byte and word forms on #imm name CCR and SR.
template <class S, class Combine, class M>
void ImmediateLogic(M& m) {
  if constexpr (S::bytes != 4) {
    if (m.cpu.opMode() == 7 && m.cpu.opReg() == 4) {
      ImmediateToStatus<S, Combine>(m);
      return;
    }
  }
  ImmediateOp<S, alu::Logic<Combine>>(m);
}

// CMPI #imm,<ea>: every data mode but an immediate, PC-relative included.
template <class S, class M>
void Cmpi(M& m) {
  CpuState& cpu = m.cpu;
  if (cpu.opMode() == 7 && cpu.opReg() == 4) {
    RaiseIllegal(m);
    return;
  }
  const std::uint32_t immediate = FetchImmediate<S>(m);
  std::uint32_t operand;
  if (!ReadEa<S>(m, cpu.opMode(), operand)) return;
  alu::Cmp::Apply<S>(cpu, operand, immediate);
}

// The single-bit instructions. Only Z changes, from the bit as it was.
enum class BitOp { Test, Change, Clear, Set };

template <BitOp Op>
inline std::uint32_t ApplyBit(CpuState& cpu, std::uint32_t value, unsigned bit) {
  const std::uint32_t mask = 1u << bit;
  cpu.z = (value & mask) == 0;
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

// Opcode bit 8 set: BTST/BCHG/BCLR/BSET Dx,<ea>, or MOVEP on mode 1.
template <BitOp Op, class M>
void BitDynamic(M& m) {
  CpuState& cpu = m.cpu;
  if (cpu.opMode() == 1) {
    if constexpr (Op == BitOp::Test) Movep<Word, false>(m);
    if constexpr (Op == BitOp::Change) Movep<Long, false>(m);
    if constexpr (Op == BitOp::Clear) Movep<Word, true>(m);
    if constexpr (Op == BitOp::Set) Movep<Long, true>(m);
    return;
  }
  BitOnOperand<Op>(m, cpu.d(cpu.opReg2()));
}

// Bits 8-6 = 000, 001, 010, by bits 11-9.
template <class S, BitOp StaticBit, class M>
inline constexpr HandlerRow<M> kLine0SizeGroup = {
    ImmediateLogic<S, std::bit_or<std::uint32_t>, M>,  ImmediateLogic<S, std::bit_and<std::uint32_t>, M>,
    ImmediateOp<S, alu::Sub, M>,                       ImmediateOp<S, alu::Add, M>,
    BitStatic<StaticBit, M>,                           ImmediateLogic<S, std::bit_xor<std::uint32_t>, M>,
    Cmpi<S, M>,                                        IllegalEntry<M>};

template <class S, BitOp StaticBit, class M>
void Line0SizeGroup(M& m) {
  kLine0SizeGroup<S, StaticBit, M>[m.cpu.opReg2()](m);
}

// Bits 8-6 = 011: only BSET #n (bits 11-9 = 100) lives here.
template <class M>
void Line0BsetStatic(M& m) {
  if (m.cpu.opReg2() != 4) {
    RaiseIllegal(m);
    return;
  }
  BitStatic<BitOp::Set>(m);
}

template <class M>
inline constexpr HandlerRow<M> kLine0Row = {
    Line0SizeGroup<Byte, BitOp::Test, M>,  Line0SizeGroup<Word, BitOp::Change, M>,
    Line0SizeGroup<Long, BitOp::Clear, M>, Line0BsetStatic<M>,
    BitDynamic<BitOp::Test, M>,            BitDynamic<BitOp::Change, M>,
    BitDynamic<BitOp::Clear, M>,           BitDynamic<BitOp::Set, M>};

}  // namespace pellux
