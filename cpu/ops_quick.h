// Lines 5-7: ADDQ, SUBQ, Scc, DBcc, Bcc, BSR and MOVEQ.
//
// Each conditional instruction has one handler per condition, and ADDQ and
// SUBQ one per destination kind.
#pragma once

#include <cstdint>

#include "cpu/alu.h"
#include "cpu/dispatch_types.h"
#include "cpu/effective_address.h"
#include "cpu/operand_forms.h"

namespace pellux {

// Z as the top bit of a word: the low 32 bits of nz minus 1 borrow into
// it exactly when they are 0. With N already nz's top bit, the conditions
// that join Z with another flag take one OR and one shift, no compare.
PELLUX_ALWAYS_INLINE std::uint64_t ZeroAtTop(const CpuState& cpu) {
  return std::uint64_t{static_cast<std::uint32_t>(cpu.nz)} - 1;
}

// Conditions come in pairs (cc bits 3-1): this is the truth of the odd one
// of the pair; the even one is its negation. Relies on flags being 0 or 1.
PELLUX_ALWAYS_INLINE unsigned ConditionPairValue(const CpuState& cpu, unsigned pair) {
  switch (pair & 7) {
    case 0:  // T, F
      return 0;
    case 1:  // HI, LS
      return static_cast<unsigned>((ZeroAtTop(cpu) | std::uint64_t{cpu.c} << 63) >> 63);
    case 2:  // CC, CS
      return cpu.c;
    case 3:  // NE, EQ
      return cpu.FlagZ();
    case 4:  // VC, VS
      return cpu.v;
    case 5:  // PL, MI
      return cpu.FlagN();
    case 6:  // GE, LT
      return static_cast<unsigned>((cpu.nz ^ std::uint64_t{cpu.v} << 63) >> 63);
    default:  // GT, LE
      return static_cast<unsigned>(((cpu.nz ^ std::uint64_t{cpu.v} << 63) | ZeroAtTop(cpu)) >> 63);
  }
}

// Whether condition cc (0..15) holds for the current flags.
inline bool TestCondition(const CpuState& cpu, unsigned cc) {
  return ConditionPairValue(cpu, cc >> 1) == (cc & 1);
}

// Whether condition kCc holds: with the condition a constant, one test (the
// odd one of a pair as the value being nonzero, which needs no compare).
template <unsigned kCc>
PELLUX_ALWAYS_INLINE bool ConditionHolds(const CpuState& cpu) {
  const unsigned value = ConditionPairValue(cpu, kCc >> 1);
  if constexpr ((kCc & 1) != 0) {
    return value != 0;
  } else {
    return value == 0;
  }
}

// ADDQ, SUBQ #q,ea with q = bits 11-9 (0 meaning 8), by the destination's
// addressing kind (0 to 8). On An they work on all 32 bits and leave the
// flags; there is no byte form on An.
template <class Op, class S, unsigned kKind, class M>
void Quick(M& m) {
  CpuState& cpu = m.cpu;
  const std::uint32_t q = ((cpu.opReg2() - 1) & 7) + 1;
  if constexpr (kKind == 1) {
    if constexpr (S::bytes == 1) {
      RaiseIllegal(m);
    } else {
      std::uint32_t& an = cpu.a(cpu.opReg());
      an = Op::ApplyToAddress(cpu, an, q);
    }
  } else {
    ApplyToKind<Op, S, kKind>(m, q);
  }
}

template <class Op, class S, class M>
inline constexpr auto kQuickHandlers =
    ByKind<M, kAlterableKinds, kKindAbsLong + 1>([](auto kind) { return &Quick<Op, S, kind(), M>; });

// Scc: the byte is written without reading it first (the MC68000 reads it).
template <unsigned kCc, class M>
void Scc(M& m) {
  CpuState& cpu = m.cpu;
  const std::uint32_t value = ConditionHolds<kCc>(cpu) ? 0xFF : 0x00;
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
template <unsigned kCc, class M>
void Dbcc(M& m) {
  CpuState& cpu = m.cpu;
  const std::uint32_t base = cpu.pc;
  const std::uint32_t displacement = FetchWord(m);
  if (ConditionHolds<kCc>(cpu)) return;
  std::uint32_t& dn = cpu.d(cpu.opReg());
  if (displacement == 0xFFFFFFFE) {
    SetLow<Word>(dn, 0xFFFF);
    return;
  }
  const std::uint32_t counter = dn & 0xFFFF;
  if (counter != 0) cpu.pc = base + displacement;
  SetLow<Word>(dn, counter - 1);
}

// Bcc, BRA, BSR: an 8-bit displacement in the low byte, or with a low byte of
// 0 (kWide) a 16-bit one in the next word, fetched whether or not the branch
// is taken. The target is the address of the opcode + 2 + displacement; it
// is not checked, so an odd target faults on the next opcode fetch.
// Condition 1 (F) is BSR; condition 0 is T, so BRA needs no case of its own.
template <unsigned kCc, bool kWide, class M>
void Branch(M& m) {
  CpuState& cpu = m.cpu;
  const std::uint32_t base = cpu.pc;
  std::uint32_t displacement;
  if constexpr (kWide) {
    displacement = FetchWord(m);
  } else {
    displacement = SignExtend8(cpu.opLow());
  }
  if constexpr (kCc == 1) {
    cpu.a(7) -= 4;
    WriteLong(m, cpu.a(7), cpu.pc);
    cpu.pc = base + displacement;
  } else if (ConditionHolds<kCc>(cpu)) {
    cpu.pc = base + displacement;
  }
}

template <class M>
void Moveq(M& m) {
  CpuState& cpu = m.cpu;
  const std::uint32_t value = SignExtend8(cpu.opLow());
  cpu.d(cpu.opReg2()) = value;
  SetLogicFlags<Long>(cpu, value);
}

// By condition (bits 11-8).
template <class M>
inline constexpr HandlerArray<M, 16> kSccHandlers = HandlersBy<16>([](auto cc) { return &Scc<cc(), M>; });

template <class M>
inline constexpr HandlerArray<M, 16> kDbccHandlers = HandlersBy<16>([](auto cc) { return &Dbcc<cc(), M>; });

template <class M>
inline constexpr HandlerArray<M, 16> kBranchHandlers = HandlersBy<16>([](auto cc) { return &Branch<cc(), false, M>; });

template <class M>
inline constexpr HandlerArray<M, 16> kWideBranchHandlers =
    HandlersBy<16>([](auto cc) { return &Branch<cc(), true, M>; });

}  // namespace pellux
