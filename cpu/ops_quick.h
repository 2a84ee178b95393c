// Lines 5-7: ADDQ, SUBQ, Scc, DBcc, Bcc, BSR and MOVEQ.
//
// Bit 8, the low bit of a condition code, is part of the dispatch index, so
// each conditional instruction has a handler for even and one for odd codes.
#pragma once

#include <cstdint>

#include "cpu/alu.h"
#include "cpu/dispatch_types.h"
#include "cpu/effective_address.h"
#include "cpu/operand_forms.h"

namespace pellux {

// Conditions come in pairs (cc bits 3-1): this is the truth of the odd one
// of the pair; the even one is its negation. Relies on flags being 0 or 1.
inline unsigned ConditionPairValue(const CpuState& cpu, unsigned pair) {
  switch (pair & 7) {
    case 0:  // T, F
      return 0;
    case 1:  // HI, LS
      return cpu.c | cpu.z;
    case 2:  // CC, CS
      return cpu.c;
    case 3:  // NE, EQ
      return cpu.z;
    case 4:  // VC, VS
      return cpu.v;
    case 5:  // PL, MI
      return cpu.n;
    case 6:  // GE, LT
      return cpu.n ^ cpu.v;
    default:  // GT, LE
      return (cpu.n ^ cpu.v) | cpu.z;
  }
}

// Whether condition cc (0..15) holds for the current flags.
inline bool TestCondition(const CpuState& cpu, unsigned cc) {
  return ConditionPairValue(cpu, cc >> 1) == (cc & 1);
}

// The condition of a Scc, DBcc or Bcc whose bit 8 is kOdd.
template <unsigned kOdd>
inline bool OpcodeCondition(const CpuState& cpu) {
  return ConditionPairValue(cpu, cpu.opReg2()) == kOdd;
}

// ADDQ, SUBQ #q,ea with q = bits 11-9 (0 meaning 8). On An they work on all
// 32 bits and leave the flags; there is no byte form on An.
template <class Op, class S, class M>
void Quick(M& m) {
  CpuState& cpu = m.cpu;
  const std::uint32_t q = ((cpu.opReg2() - 1) & 7) + 1;
  if (cpu.opMode() == 1) {
    if constexpr (S::bytes == 1) {
      RaiseIllegal(m);
    } else {
      std::uint32_t& an = cpu.a(cpu.opReg());
      an = Op::ApplyToAddress(cpu, an, q);
    }
    return;
  }
  ApplyToDataAlterable<Op, S>(m, q);
}

// Scc: the byte is written without reading it first (the MC68000 reads it).
template <unsigned kOdd, class M>
void Scc(M& m) {
  CpuState& cpu = m.cpu;
  const std::uint32_t value = OpcodeCondition<kOdd>(cpu) ? 0xFF : 0x00;
  if (cpu.opMode() == 0) {
    SetLow<Byte>(cpu.d(cpu.opReg()), value);
    return;
  }
  std::uint32_t address;
  if (!EaAddressByte(m, cpu.opMode(), address)) return;
  WriteByte(m, address, value);
}

// DBcc Dn,disp16. A DBcc that branches to itself (displacement -2) is a wait
// loop: it finishes its whole count at once, leaving the counter word 0xFFFF
// and the PC after the instruction, as the loop itself would.
template <unsigned kOdd, class M>
void Dbcc(M& m) {
  CpuState& cpu = m.cpu;
  const std::uint32_t base = cpu.pc;
  const std::uint32_t displacement = FetchWord(m);
  if (OpcodeCondition<kOdd>(cpu)) return;
  std::uint32_t& dn = cpu.d(cpu.opReg());
  if (displacement == 0xFFFFFFFE) {
    SetLow<Word>(dn, 0xFFFF);
    return;
  }
  const std::uint32_t counter = dn & 0xFFFF;
  if (counter != 0) cpu.pc = base + displacement;
  SetLow<Word>(dn, counter - 1);
}

// Opmode 011 and 111: mode 001 is DBcc, the others Scc.
template <unsigned kOdd, class M>
void SccOrDbcc(M& m) {
  if (m.cpu.opMode() == 1) {
    Dbcc<kOdd>(m);
  } else {
    Scc<kOdd>(m);
  }
}

// Bcc, BRA, BSR: an 8-bit displacement in the low byte, or with a low byte of
// 0 a 16-bit one in the next word, fetched whether or not the branch is
// taken. The target is the address of the opcode + 2 + displacement; it is
// not checked, so an odd target faults on the next opcode fetch.
template <unsigned kOdd, class M>
void Branch(M& m) {
  CpuState& cpu = m.cpu;
  const std::uint32_t base = cpu.pc;
  std::uint32_t displacement = SignExtend8(cpu.opLow());
  if (displacement == 0) displacement = FetchWord(m);
  if constexpr (kOdd) {
    if (cpu.opReg2() == 0) {  // BSR
      cpu.a(7) -= 4;
      WriteLong(m, cpu.a(7), cpu.pc);
      cpu.pc = base + displacement;
      return;
    }
  }
  // Condition 0 is T, so BRA needs no case of its own.
  if (OpcodeCondition<kOdd>(cpu)) cpu.pc = base + displacement;
}

template <class M>
void Moveq(M& m) {
  CpuState& cpu = m.cpu;
  const std::uint32_t value = SignExtend8(cpu.opLow());
  cpu.d(cpu.opReg2()) = value;
  SetLogicFlags<Long>(cpu, value);
}

template <class M>
inline constexpr HandlerRow<M> kLine5Row = {
    Quick<alu::Add, Byte, M>,  // 000 ADDQ.B
    Quick<alu::Add, Word, M>,  // 001 ADDQ.W
    Quick<alu::Add, Long, M>,  // 010 ADDQ.L
    SccOrDbcc<0, M>,           // 011 Scc, DBcc with cc even
    Quick<alu::Sub, Byte, M>,  // 100 SUBQ.B
    Quick<alu::Sub, Word, M>,  // 101 SUBQ.W
    Quick<alu::Sub, Long, M>,  // 110 SUBQ.L
    SccOrDbcc<1, M>,           // 111 Scc, DBcc with cc odd
};

// Bits 7-6 belong to the displacement.
template <class M>
inline constexpr HandlerRow<M> kLine6Row = {
    Branch<0, M>, Branch<0, M>, Branch<0, M>, Branch<0, M>,  // cc even: BRA, BHI, ...
    Branch<1, M>, Branch<1, M>, Branch<1, M>, Branch<1, M>,  // cc odd: BSR, BLS, ...
};

// Bits 7-6 belong to the data; bit 8 set is no instruction.
template <class M>
inline constexpr HandlerRow<M> kLine7Row = {
    Moveq<M>,        Moveq<M>,        Moveq<M>,        Moveq<M>,
    IllegalEntry<M>, IllegalEntry<M>, IllegalEntry<M>, IllegalEntry<M>,
};

}  // namespace pellux
