// The dispatch: one handler for each of the 65,536 opcode words, derived
// from the instruction table (cpu/instruction_set.h) once, on first use.
//
// Each row of the table names an operation; HandlerFor turns the operation
// and the opcode's fields into a handler specialized at compile time where
// that pays: MOVE by size and both addressing kinds, the ea,Dn and ea,An
// forms of ADD, SUB, CMP, AND and OR, the quick and immediate forms, TST
// and CLR by size and addressing kind, Bcc, Scc and DBcc by condition, LEA,
// PEA, JSR and JMP by addressing kind. The others take their size from the row and read the rest
// of the opcode as they run. An opcode no row claims is the illegal
// instruction, or the line A or line F trap; one whose effective address is
// outside the row's class is the illegal instruction (after the privilege
// test for a privileged row).
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "cpu/alu.h"
#include "cpu/dispatch_types.h"
#include "cpu/instruction_set.h"
#include "cpu/operand_forms.h"
#include "cpu/ops_arith.h"
#include "cpu/ops_flow.h"
#include "cpu/ops_immediate.h"
#include "cpu/ops_line4.h"
#include "cpu/ops_logic.h"
#include "cpu/ops_move.h"
#include "cpu/ops_quick.h"
#include "cpu/ops_shift.h"

namespace pellux {

// The encodings a privileged row refuses: privilege violation in user
// state, illegal instruction in supervisor state.
template <class M>
void PrivilegedIllegal(M& m) {
  if (Supervisor(m)) RaiseIllegal(m);
}

// make(Byte{}), make(Word{}) or make(Long{}) by the operation size in bytes.
template <class Make>
constexpr auto BySize(unsigned bytes, Make make) {
  return bytes == 1 ? make(Byte{}) : bytes == 2 ? make(Word{}) : make(Long{});
}

// LEA, PEA, JSR and JMP by control addressing kind (2, 5, 6 or 7 to 10).
template <unsigned kKind, class M>
void LeaTo(M& m) {
  m.cpu.a(m.cpu.opReg2()) = OperandAddress<Long, kKind>(m);
}

template <unsigned kKind, class M>
void PeaFrom(M& m) {
  CpuState& cpu = m.cpu;
  const std::uint32_t address = OperandAddress<Long, kKind>(m);
  cpu.a(7) -= 4;
  WriteLong(m, cpu.a(7), address);
}

template <unsigned kKind, class M>
void JsrTo(M& m) {
  CpuState& cpu = m.cpu;
  const std::uint32_t target = OperandAddress<Long, kKind>(m);
  cpu.a(7) -= 4;
  WriteLong(m, cpu.a(7), cpu.pc);
  cpu.pc = target;
}

template <unsigned kKind, class M>
void JmpTo(M& m) {
  m.cpu.pc = OperandAddress<Long, kKind>(m);
}

template <class M>
inline constexpr auto kLeaHandlers =
    ByKind<M, kControlKinds, kAddressingKinds>([](auto kind) { return &LeaTo<kind(), M>; });
template <class M>
inline constexpr auto kPeaHandlers =
    ByKind<M, kControlKinds, kAddressingKinds>([](auto kind) { return &PeaFrom<kind(), M>; });
template <class M>
inline constexpr auto kJsrHandlers =
    ByKind<M, kControlKinds, kAddressingKinds>([](auto kind) { return &JsrTo<kind(), M>; });
template <class M>
inline constexpr auto kJmpHandlers =
    ByKind<M, kControlKinds, kAddressingKinds>([](auto kind) { return &JmpTo<kind(), M>; });

// The handler of a valid opcode decoded by row.
template <class M>
Handler<M> HandlerFor(const isa::Instruction& row, unsigned op) {
  using enum isa::Operation;
  const unsigned bytes = isa::SizeOf(row, op).bytes;
  const unsigned kind = AddressingKind((op >> 3) & 7, op & 7);
  const unsigned destinationKind = AddressingKind((op >> 6) & 7, (op >> 9) & 7);
  const unsigned cc = (op >> 8) & 15;
  const bool left = (op & 0x100) != 0;
  switch (row.operation) {
    // Line 0.
    case MovepToRegister:
      return BySize(bytes, [](auto s) { return &Movep<decltype(s), false, M>; });
    case MovepToMemory:
      return BySize(bytes, [](auto s) { return &Movep<decltype(s), true, M>; });
    case BtstDynamic:
      return &BitDynamic<BitOp::Test, M>;
    case BchgDynamic:
      return &BitDynamic<BitOp::Change, M>;
    case BclrDynamic:
      return &BitDynamic<BitOp::Clear, M>;
    case BsetDynamic:
      return &BitDynamic<BitOp::Set, M>;
    case BtstStatic:
      return &BitStatic<BitOp::Test, M>;
    case BchgStatic:
      return &BitStatic<BitOp::Change, M>;
    case BclrStatic:
      return &BitStatic<BitOp::Clear, M>;
    case BsetStatic:
      return &BitStatic<BitOp::Set, M>;
    case OriToCcr:
      return &ImmediateToStatus<Byte, std::bit_or<std::uint32_t>, M>;
    case AndiToCcr:
      return &ImmediateToStatus<Byte, std::bit_and<std::uint32_t>, M>;
    case EoriToCcr:
      return &ImmediateToStatus<Byte, std::bit_xor<std::uint32_t>, M>;
    case OriToSr:
      return &ImmediateToStatus<Word, std::bit_or<std::uint32_t>, M>;
    case AndiToSr:
      return &ImmediateToStatus<Word, std::bit_and<std::uint32_t>, M>;
    case EoriToSr:
      return &ImmediateToStatus<Word, std::bit_xor<std::uint32_t>, M>;
    case Ori:
      return BySize(bytes, [&](auto s) { return kImmediateHandlers<decltype(s), alu::Or, M>[kind]; });
    case Andi:
      return BySize(bytes, [&](auto s) { return kImmediateHandlers<decltype(s), alu::And, M>[kind]; });
    case Subi:
      return BySize(bytes, [&](auto s) { return kImmediateHandlers<decltype(s), alu::Sub, M>[kind]; });
    case Addi:
      return BySize(bytes, [&](auto s) { return kImmediateHandlers<decltype(s), alu::Add, M>[kind]; });
    case Eori:
      return BySize(bytes, [&](auto s) { return kImmediateHandlers<decltype(s), alu::Eor, M>[kind]; });
    case Cmpi:
      return BySize(bytes, [&](auto s) { return kCmpiHandlers<decltype(s), M>[kind]; });

    // Lines 1-3.
    case MoveToAddress:
    case Move:
      return BySize(bytes, [&](auto s) { return kMoveHandlers<decltype(s), M>[destinationKind][kind]; });

    // Line 4.
    case Chk:
      return &pellux::Chk<M>;
    case Lea:
      return kLeaHandlers<M>[kind];
    case Negx:
      return BySize(bytes, [](auto s) { return &pellux::Negx<decltype(s), M>; });
    case MoveFromSr:
      return &pellux::MoveFromSr<M>;
    case Clr:
      return BySize(bytes, [&](auto s) { return kClrHandlers<decltype(s), M>[kind]; });
    case Neg:
      return BySize(bytes, [](auto s) { return &pellux::Neg<decltype(s), M>; });
    case MoveToCcr:
      return &pellux::MoveToCcr<M>;
    case Not:
      return BySize(bytes, [](auto s) { return &pellux::Not<decltype(s), M>; });
    case MoveToSr:
      return &pellux::MoveToSr<M>;
    case Nbcd:
      return &pellux::Nbcd<M>;
    case Swap:
      return &pellux::Swap<M>;
    case Pea:
      return kPeaHandlers<M>[kind];
    case ExtWord:
      return &Ext<Word, M>;
    case ExtLong:
      return &Ext<Long, M>;
    case MovemToMemory:
      return BySize(bytes, [](auto s) { return &pellux::MovemToMemory<decltype(s), M>; });
    case Tst:
      return BySize(bytes, [&](auto s) { return kTstHandlers<decltype(s), M>[kind]; });
    case IllegalInstruction:
      return &IllegalEntry<M>;
    case Tas:
      return &pellux::Tas<M>;
    case MovemToRegisters:
      return BySize(bytes, [](auto s) { return &pellux::MovemToRegisters<decltype(s), M>; });
    case Trap:
      return &pellux::Trap<M>;
    case Link:
      return &pellux::Link<M>;
    case Unlk:
      return &pellux::Unlk<M>;
    case MoveToUsp:
      return &pellux::MoveToUsp<M>;
    case MoveFromUsp:
      return &pellux::MoveFromUsp<M>;
    case ResetDevices:
      return &ResetInstruction<M>;
    case Nop:
      return &pellux::Nop<M>;
    case Stop:
      return &pellux::Stop<M>;
    case Rte:
      return &pellux::Rte<M>;
    case Rts:
      return &pellux::Rts<M>;
    case Trapv:
      return &pellux::Trapv<M>;
    case Rtr:
      return &pellux::Rtr<M>;
    case Jsr:
      return kJsrHandlers<M>[kind];
    case Jmp:
      return kJmpHandlers<M>[kind];

    // Lines 5-7.
    case Dbcc:
      return kDbccHandlers<M>[cc];
    case Scc:
      return kSccHandlers<M>[cc];
    case Addq:
      return BySize(bytes, [&](auto s) { return kQuickHandlers<alu::Add, decltype(s), M>[kind]; });
    case Subq:
      return BySize(bytes, [&](auto s) { return kQuickHandlers<alu::Sub, decltype(s), M>[kind]; });
    case Bcc:
      return (op & 0xFF) == 0 ? kWideBranchHandlers<M>[cc] : kBranchHandlers<M>[cc];
    case Moveq:
      return &pellux::Moveq<M>;

    // Line 8.
    case OrToRegister:
      return BySize(bytes, [&](auto s) { return kEaToDataRegister<alu::Or, decltype(s), M>[kind]; });
    case Divu:
      return &Divide<false, M>;
    case SbcdRegisters:
      return &DataRegisterPair<alu::Sbcd, Byte, M>;
    case SbcdMemory:
      return &PredecrementPair<alu::Sbcd, Byte, M>;
    case OrToMemory:
      return BySize(bytes, [](auto s) { return &DataRegisterToMemory<alu::Or, decltype(s), M>; });
    case Divs:
      return &Divide<true, M>;

    // Lines 9 and D.
    case SubToRegister:
      return BySize(bytes, [&](auto s) { return kEaToDataRegister<alu::Sub, decltype(s), M>[kind]; });
    case Suba:
      return BySize(bytes, [&](auto s) { return kEaToAddressRegister<alu::Sub, decltype(s), M>[kind]; });
    case SubxRegisters:
      return BySize(bytes, [](auto s) { return &DataRegisterPair<alu::SubX, decltype(s), M>; });
    case SubxMemory:
      return BySize(bytes, [](auto s) { return &PredecrementPair<alu::SubX, decltype(s), M>; });
    case SubToMemory:
      return BySize(bytes, [](auto s) { return &DataRegisterToMemory<alu::Sub, decltype(s), M>; });
    case AddToRegister:
      return BySize(bytes, [&](auto s) { return kEaToDataRegister<alu::Add, decltype(s), M>[kind]; });
    case Adda:
      return BySize(bytes, [&](auto s) { return kEaToAddressRegister<alu::Add, decltype(s), M>[kind]; });
    case AddxRegisters:
      return BySize(bytes, [](auto s) { return &DataRegisterPair<alu::AddX, decltype(s), M>; });
    case AddxMemory:
      return BySize(bytes, [](auto s) { return &PredecrementPair<alu::AddX, decltype(s), M>; });
    case AddToMemory:
      return BySize(bytes, [](auto s) { return &DataRegisterToMemory<alu::Add, decltype(s), M>; });

    // Line B.
    case CmpToRegister:
      return BySize(bytes, [&](auto s) { return kEaToDataRegister<alu::Cmp, decltype(s), M>[kind]; });
    case Cmpa:
      return BySize(bytes, [&](auto s) { return kEaToAddressRegister<alu::Cmp, decltype(s), M>[kind]; });
    case Cmpm:
      return BySize(bytes, [](auto s) { return &CompareMemory<decltype(s), M>; });
    case Eor:
      return BySize(bytes, [](auto s) { return &EorToEa<decltype(s), M>; });

    // Line C.
    case AndToRegister:
      return BySize(bytes, [&](auto s) { return kEaToDataRegister<alu::And, decltype(s), M>[kind]; });
    case Mulu:
      return &Multiply<false, M>;
    case AbcdRegisters:
      return &DataRegisterPair<alu::Abcd, Byte, M>;
    case AbcdMemory:
      return &PredecrementPair<alu::Abcd, Byte, M>;
    case ExgData:
      return &Exchange<0, 0, M>;
    case ExgAddress:
      return &Exchange<8, 8, M>;
    case ExgDataAddress:
      return &Exchange<0, 8, M>;
    case AndToMemory:
      return BySize(bytes, [](auto s) { return &DataRegisterToMemory<alu::And, decltype(s), M>; });
    case Muls:
      return &Multiply<true, M>;

    // Line E.
    case ShiftMemory:
      return left ? &pellux::ShiftMemory<true, M> : &pellux::ShiftMemory<false, M>;
    case ShiftRegister:
      return BySize(bytes, [&](auto s) {
        return left ? &pellux::ShiftRegister<decltype(s), true, M> : &pellux::ShiftRegister<decltype(s), false, M>;
      });
  }
  return &IllegalEntry<M>;
}

// The entry of one opcode word.
template <class M>
Handler<M> DispatchEntry(unsigned op) {
  const isa::Instruction* row = isa::FindInstruction(op);
  if (!row) {
    if ((op >> 12) == 0xA) return &LineAEntry<M>;
    if ((op >> 12) == 0xF) return &LineFEntry<M>;
    return &IllegalEntry<M>;
  }
  if (!isa::IsValid(*row, op)) {
    return row->privilege == isa::Privilege::Supervisor ? &PrivilegedIllegal<M> : &IllegalEntry<M>;
  }
  return HandlerFor<M>(*row, op);
}

template <class M>
using DispatchTable = std::array<Handler<M>, 0x10000>;

// The handlers by opcode word, built on first use.
template <class M>
const DispatchTable<M>& Dispatch() {
  static const DispatchTable<M> table = [] {
    DispatchTable<M> entries;
    for (unsigned op = 0; op < 0x10000; ++op) entries[op] = DispatchEntry<M>(op);
    return entries;
  }();
  return table;
}

}  // namespace pellux
