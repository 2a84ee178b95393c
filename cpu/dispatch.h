// The dispatch: one handler for each of the 65,536 opcode words, derived
// from the instruction table (cpu/instruction_set.h) once, on first use.
//
// Each row of the table names an operation; the HandlerFor functions turn
// the operation and the opcode's fields into a handler specialized at compile
// time where that pays: MOVE by size and both addressing kinds, the ea,Dn and
// ea,An forms of ADD, SUB, CMP, AND and OR, the quick and immediate forms,
// TST and CLR by size and addressing kind, Bcc, Scc and DBcc by condition,
// LEA, PEA, JSR and JMP by addressing kind. The others take their size from
// the row and read the rest of the opcode as they run. An opcode no row
// claims is the illegal instruction, or the line A or line F trap; one whose
// effective address is outside the row's class is the illegal instruction
// (after the privilege test for a privileged row). Every entry is its body
// wrapped by Threaded (cpu/threaded.h), which goes on to the next
// instruction's entry itself.
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
inline constexpr auto kLeaHandlers = ByKind<M, kControlKinds, kAddressingKinds>([](auto kind) {
  return &LeaTo<kind(), M>;
});
template <class M>
inline constexpr auto kPeaHandlers = ByKind<M, kControlKinds, kAddressingKinds>([](auto kind) {
  return &PeaFrom<kind(), M>;
});
template <class M>
inline constexpr auto kJsrHandlers = ByKind<M, kControlKinds, kAddressingKinds>([](auto kind) {
  return &JsrTo<kind(), M>;
});
template <class M>
inline constexpr auto kJmpHandlers = ByKind<M, kControlKinds, kAddressingKinds>([](auto kind) {
  return &JmpTo<kind(), M>;
});

// The handler of a valid opcode of line 0, decoded by row.
template <class M>
ThreadedHandler<M> HandlerForLine0(const isa::Instruction& row, unsigned op) {
  using enum isa::Operation;
  const unsigned bytes = isa::SizeOf(row, op).bytes;
  const unsigned kind = AddressingKind((op >> 3) & 7, op & 7);
  switch (row.operation) {
    case MovepToRegister:
      return BySize(bytes, [](auto s) { return &Threaded<&Movep<decltype(s), false, M>>; });
    case MovepToMemory:
      return BySize(bytes, [](auto s) { return &Threaded<&Movep<decltype(s), true, M>>; });
    case BtstDynamic:
      return &Threaded<&BitDynamic<BitOp::Test, M>>;
    case BchgDynamic:
      return &Threaded<&BitDynamic<BitOp::Change, M>>;
    case BclrDynamic:
      return &Threaded<&BitDynamic<BitOp::Clear, M>>;
    case BsetDynamic:
      return &Threaded<&BitDynamic<BitOp::Set, M>>;
    case BtstStatic:
      return &Threaded<&BitStatic<BitOp::Test, M>>;
    case BchgStatic:
      return &Threaded<&BitStatic<BitOp::Change, M>>;
    case BclrStatic:
      return &Threaded<&BitStatic<BitOp::Clear, M>>;
    case BsetStatic:
      return &Threaded<&BitStatic<BitOp::Set, M>>;
    case OriToCcr:
      return &Threaded<&ImmediateToStatus<Byte, std::bit_or<std::uint32_t>, M>>;
    case AndiToCcr:
      return &Threaded<&ImmediateToStatus<Byte, std::bit_and<std::uint32_t>, M>>;
    case EoriToCcr:
      return &Threaded<&ImmediateToStatus<Byte, std::bit_xor<std::uint32_t>, M>>;
    case OriToSr:
      return &Threaded<&ImmediateToStatus<Word, std::bit_or<std::uint32_t>, M>>;
    case AndiToSr:
      return &Threaded<&ImmediateToStatus<Word, std::bit_and<std::uint32_t>, M>>;
    case EoriToSr:
      return &Threaded<&ImmediateToStatus<Word, std::bit_xor<std::uint32_t>, M>>;
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

    default:
      break;
  }
  return kIllegalHandler<M>;
}

// The handler of a valid opcode of lines 1-3: MOVE and MOVEA, by size and
// both addressing kinds.
template <class M>
ThreadedHandler<M> HandlerForLines1To3(const isa::Instruction& row, unsigned op) {
  using enum isa::Operation;
  if (row.operation != Move && row.operation != MoveToAddress) return kIllegalHandler<M>;
  const unsigned kind = AddressingKind((op >> 3) & 7, op & 7);
  const unsigned destinationKind = AddressingKind((op >> 6) & 7, (op >> 9) & 7);
  return BySize(isa::SizeOf(row, op).bytes,
                [&](auto s) { return kMoveHandlers<decltype(s), M>[destinationKind][kind]; });
}

// The handler of a valid opcode of lines 4-7, decoded by row.
template <class M>
ThreadedHandler<M> HandlerForLines4To7(const isa::Instruction& row, unsigned op) {
  using enum isa::Operation;
  const unsigned bytes = isa::SizeOf(row, op).bytes;
  const unsigned kind = AddressingKind((op >> 3) & 7, op & 7);
  const unsigned cc = (op >> 8) & 15;
  switch (row.operation) {
    // Line 4.
    case Chk:
      return &Threaded<&pellux::Chk<M>>;
    case Lea:
      return kLeaHandlers<M>[kind];
    case Negx:
      return BySize(bytes, [](auto s) { return &Threaded<&pellux::Negx<decltype(s), M>>; });
    case MoveFromSr:
      return &Threaded<&pellux::MoveFromSr<M>>;
    case Clr:
      return BySize(bytes, [&](auto s) { return kClrHandlers<decltype(s), M>[kind]; });
    case Neg:
      return BySize(bytes, [](auto s) { return &Threaded<&pellux::Neg<decltype(s), M>>; });
    case MoveToCcr:
      return &Threaded<&pellux::MoveToCcr<M>>;
    case Not:
      return BySize(bytes, [](auto s) { return &Threaded<&pellux::Not<decltype(s), M>>; });
    case MoveToSr:
      return &Threaded<&pellux::MoveToSr<M>>;
    case Nbcd:
      return &Threaded<&pellux::Nbcd<M>>;
    case Swap:
      return &Threaded<&pellux::Swap<M>>;
    case Pea:
      return kPeaHandlers<M>[kind];
    case ExtWord:
      return &Threaded<&Ext<Word, M>>;
    case ExtLong:
      return &Threaded<&Ext<Long, M>>;
    case MovemToMemory:
      return BySize(bytes, [](auto s) { return &Threaded<&pellux::MovemToMemory<decltype(s), M>>; });
    case Tst:
      return BySize(bytes, [&](auto s) { return kTstHandlers<decltype(s), M>[kind]; });
    case IllegalInstruction:
      return kIllegalHandler<M>;
    case Tas:
      return &Threaded<&pellux::Tas<M>>;
    case MovemToRegisters:
      return BySize(bytes, [](auto s) { return &Threaded<&pellux::MovemToRegisters<decltype(s), M>>; });
    case Trap:
      return &Threaded<&pellux::Trap<M>>;
    case Link:
      return &Threaded<&pellux::Link<M>>;
    case Unlk:
      return &Threaded<&pellux::Unlk<M>>;
    case MoveToUsp:
      return &Threaded<&pellux::MoveToUsp<M>>;
    case MoveFromUsp:
      return &Threaded<&pellux::MoveFromUsp<M>>;
    case ResetDevices:
      return &Threaded<&ResetInstruction<M>>;
    case Nop:
      return &Threaded<&pellux::Nop<M>>;
    case Stop:
      return &Threaded<&pellux::Stop<M>>;
    case Rte:
      return &Threaded<&pellux::Rte<M>>;
    case Rts:
      return &Threaded<&pellux::Rts<M>>;
    case Trapv:
      return &Threaded<&pellux::Trapv<M>>;
    case Rtr:
      return &Threaded<&pellux::Rtr<M>>;
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
      return &Threaded<&pellux::Moveq<M>>;

    default:
      break;
  }
  return kIllegalHandler<M>;
}

// The handler of a valid opcode of lines 8-F, decoded by row.
template <class M>
ThreadedHandler<M> HandlerForLines8ToF(const isa::Instruction& row, unsigned op) {
  using enum isa::Operation;
  const unsigned bytes = isa::SizeOf(row, op).bytes;
  const unsigned kind = AddressingKind((op >> 3) & 7, op & 7);
  const bool left = (op & 0x100) != 0;
  switch (row.operation) {
    // Line 8.
    case OrToRegister:
      return BySize(bytes, [&](auto s) { return kEaToDataRegister<alu::Or, decltype(s), M>[kind]; });
    case Divu:
      return &Threaded<&Divide<false, M>>;
    case SbcdRegisters:
      return &Threaded<&DataRegisterPair<alu::Sbcd, Byte, M>>;
    case SbcdMemory:
      return &Threaded<&PredecrementPair<alu::Sbcd, Byte, M>>;
    case OrToMemory:
      return BySize(bytes, [](auto s) { return &Threaded<&DataRegisterToMemory<alu::Or, decltype(s), M>>; });
    case Divs:
      return &Threaded<&Divide<true, M>>;

    // Lines 9 and D.
    case SubToRegister:
      return BySize(bytes, [&](auto s) { return kEaToDataRegister<alu::Sub, decltype(s), M>[kind]; });
    case Suba:
      return BySize(bytes, [&](auto s) { return kEaToAddressRegister<alu::Sub, decltype(s), M>[kind]; });
    case SubxRegisters:
      return BySize(bytes, [](auto s) { return &Threaded<&DataRegisterPair<alu::SubX, decltype(s), M>>; });
    case SubxMemory:
      return BySize(bytes, [](auto s) { return &Threaded<&PredecrementPair<alu::SubX, decltype(s), M>>; });
    case SubToMemory:
      return BySize(bytes, [](auto s) { return &Threaded<&DataRegisterToMemory<alu::Sub, decltype(s), M>>; });
    case AddToRegister:
      return BySize(bytes, [&](auto s) { return kEaToDataRegister<alu::Add, decltype(s), M>[kind]; });
    case Adda:
      return BySize(bytes, [&](auto s) { return kEaToAddressRegister<alu::Add, decltype(s), M>[kind]; });
    case AddxRegisters:
      return BySize(bytes, [](auto s) { return &Threaded<&DataRegisterPair<alu::AddX, decltype(s), M>>; });
    case AddxMemory:
      return BySize(bytes, [](auto s) { return &Threaded<&PredecrementPair<alu::AddX, decltype(s), M>>; });
    case AddToMemory:
      return BySize(bytes, [](auto s) { return &Threaded<&DataRegisterToMemory<alu::Add, decltype(s), M>>; });

    // Line B.
    case CmpToRegister:
      return BySize(bytes, [&](auto s) { return kEaToDataRegister<alu::Cmp, decltype(s), M>[kind]; });
    case Cmpa:
      return BySize(bytes, [&](auto s) { return kEaToAddressRegister<alu::Cmp, decltype(s), M>[kind]; });
    case Cmpm:
      return BySize(bytes, [](auto s) { return &Threaded<&CompareMemory<decltype(s), M>>; });
    case Eor:
      return BySize(bytes, [](auto s) { return &Threaded<&EorToEa<decltype(s), M>>; });

    // Line C.
    case AndToRegister:
      return BySize(bytes, [&](auto s) { return kEaToDataRegister<alu::And, decltype(s), M>[kind]; });
    case Mulu:
      return &Threaded<&Multiply<false, M>>;
    case AbcdRegisters:
      return &Threaded<&DataRegisterPair<alu::Abcd, Byte, M>>;
    case AbcdMemory:
      return &Threaded<&PredecrementPair<alu::Abcd, Byte, M>>;
    case ExgData:
      return &Threaded<&Exchange<0, 0, M>>;
    case ExgAddress:
      return &Threaded<&Exchange<8, 8, M>>;
    case ExgDataAddress:
      return &Threaded<&Exchange<0, 8, M>>;
    case AndToMemory:
      return BySize(bytes, [](auto s) { return &Threaded<&DataRegisterToMemory<alu::And, decltype(s), M>>; });
    case Muls:
      return &Threaded<&Multiply<true, M>>;

    // Line E.
    case ShiftMemory:
      return left ? &Threaded<&pellux::ShiftMemory<true, M>> : &Threaded<&pellux::ShiftMemory<false, M>>;
    case ShiftRegister:
      return BySize(bytes, [&](auto s) {
        return left ? &Threaded<&pellux::ShiftRegister<decltype(s), true, M>>
                    : &Threaded<&pellux::ShiftRegister<decltype(s), false, M>>;
      });
    default:
      break;
  }
  return kIllegalHandler<M>;
}

// The table is filled in four parts, each by its own function, so that the
// handlers of one machine can be compiled in four translation units: a
// machine's core file declares the parts `extern template` and four files
// instantiate one each. The parts are lines of the opcode map: line 0 (the
// immediate forms and the bits), lines 1-3 (MOVE's few hundred handlers),
// 4-7 and 8-F, which take about as long to compile.
enum class DispatchPart { Line0, Lines1To3, Lines4To7, Lines8ToF };

constexpr DispatchPart PartOfLine(unsigned line) {
  if (line == 0) return DispatchPart::Line0;
  return line < 4 ? DispatchPart::Lines1To3 : line < 8 ? DispatchPart::Lines4To7 : DispatchPart::Lines8ToF;
}

// The entry of one opcode word of the part's lines.
template <class M, DispatchPart kPart>
ThreadedHandler<M> DispatchEntry(unsigned op) {
  const isa::Instruction* row = isa::FindInstruction(op);
  if (!row) {
    if ((op >> 12) == 0xA) return &Threaded<&LineAEntry<M>>;
    if ((op >> 12) == 0xF) return &Threaded<&LineFEntry<M>>;
    return kIllegalHandler<M>;
  }
  if (!isa::IsValid(*row, op)) {
    return row->privilege == isa::Privilege::Supervisor ? &Threaded<&PrivilegedIllegal<M>>
                                                        : kIllegalHandler<M>;
  }
  if constexpr (kPart == DispatchPart::Line0) {
    return HandlerForLine0<M>(*row, op);
  } else if constexpr (kPart == DispatchPart::Lines1To3) {
    return HandlerForLines1To3<M>(*row, op);
  } else if constexpr (kPart == DispatchPart::Lines4To7) {
    return HandlerForLines4To7<M>(*row, op);
  } else {
    return HandlerForLines8ToF<M>(*row, op);
  }
}

// Writes the entries of the part's lines, and no others.
template <class M, DispatchPart kPart>
void FillDispatch(DispatchTable<M>& entries) {
  for (unsigned line = 0; line < 16; ++line) {
    if (PartOfLine(line) != kPart) continue;
    for (unsigned op = line << 12; op < (line + 1) << 12; ++op) entries[op] = DispatchEntry<M, kPart>(op);
  }
}

// The handlers by opcode word, built on first use.
template <class M>
const DispatchTable<M>& Dispatch() {
  static const bool filled = [] {
    DispatchTable<M>& entries = DispatchStorage<M>::entries;
    FillDispatch<M, DispatchPart::Line0>(entries);
    FillDispatch<M, DispatchPart::Lines1To3>(entries);
    FillDispatch<M, DispatchPart::Lines4To7>(entries);
    FillDispatch<M, DispatchPart::Lines8ToF>(entries);
    return true;
  }();
  static_cast<void>(filled);
  return DispatchStorage<M>::entries;
}

}  // namespace pellux
