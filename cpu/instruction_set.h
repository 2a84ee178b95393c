// The MC68000 instruction set as one table: for every instruction its bit
// pattern, mnemonic, operation size, operands, the addressing modes its
// effective address accepts, what runs it and whether it is privileged.
//
// The processor's dispatch (cpu/dispatch.h) and the disassembler both decode
// through it: an opcode is the first row whose pattern matches (a size field
// of 11 matches no row that has one), and it is an instruction when its
// effective address is in the row's class. Everything else is the illegal
// instruction, or the line A and line F traps.
#pragma once

#include <array>
#include <cstdint>
#include <iterator>

namespace pellux {

// The addressing-mode classes of the MC68000, as tests on a mode/register field.
enum class EaClass : std::uint8_t {
  Any,               // no test: the field is not an effective address
  All,               // every encoding except mode 7 with reg 5, 6 or 7
  Data,              // all but An
  DataNoImmediate,   // data except #imm (BTST #n and CMPI destinations)
  DataAlterable,     // data except d16(PC), d8(PC,Xn) and #imm
  MemoryAlterable,   // data alterable except Dn
  Alterable,         // data alterable plus An
  Control,           // (An), d16(An), d8(An,Xn), abs.W, abs.L, d16(PC), d8(PC,Xn)
  ControlAlterable,  // control except the PC-relative modes
  ControlOrPostinc,  // control, or (An)+: MOVEM memory to registers
};

constexpr bool InClass(EaClass eaClass, unsigned mode, unsigned reg) {
  const bool exists = mode < 7 || reg <= 4;
  const bool pcRelative = mode == 7 && (reg == 2 || reg == 3);
  const bool immediate = mode == 7 && reg == 4;
  const bool control = mode == 2 || mode == 5 || mode == 6 || (mode == 7 && reg <= 3);
  const bool dataAlterable = exists && mode != 1 && !pcRelative && !immediate;
  switch (eaClass) {
    case EaClass::Any:
      return true;
    case EaClass::All:
      return exists;
    case EaClass::Data:
      return exists && mode != 1;
    case EaClass::DataNoImmediate:
      return exists && mode != 1 && !immediate;
    case EaClass::DataAlterable:
      return dataAlterable;
    case EaClass::MemoryAlterable:
      return dataAlterable && mode != 0;
    case EaClass::Alterable:
      return dataAlterable || mode == 1;
    case EaClass::Control:
      return control;
    case EaClass::ControlAlterable:
      return control && !pcRelative;
    case EaClass::ControlOrPostinc:
      return control || mode == 3;
  }
  return false;
}

namespace isa {

// Where the operation size, and the mnemonic's size suffix, come from.
enum class SizeFrom : std::uint8_t {
  Byte,  // fixed by the row: no suffix (or one written into the name)
  Word,
  Long,
  Field,     // bits 7-6 = 0, 1, 2: .b, .w, .l; 3 matches no row of this kind
  Bit6,      // MOVEM: bit 6 clear .w, set .l
  MoveLine,  // lines 1, 3, 2: .b, .w, .l
};

// How the mnemonic is named: a literal, or by a field of the opcode.
enum class NameFrom : std::uint8_t { Text, Branch, Set, DecrementAndBranch, Shift };

struct Mnemonic {
  constexpr Mnemonic(const char* literal) : from(NameFrom::Text), text(literal) {}
  constexpr explicit Mnemonic(NameFrom byField) : from(byField), text("") {}
  NameFrom from;
  const char* text;
};

inline constexpr Mnemonic kBcc{NameFrom::Branch};               // condition of bits 11-8
inline constexpr Mnemonic kScc{NameFrom::Set};                  // condition of bits 11-8
inline constexpr Mnemonic kDBcc{NameFrom::DecrementAndBranch};  // condition of bits 11-8
inline constexpr Mnemonic kShift{NameFrom::Shift};              // by type and direction

// The operand formats.
enum class Operand : std::uint8_t {
  None,
  Ea,             // the effective address of bits 5-0, in the row's class, at the operation size
  MoveDest,       // MOVE destination: mode bits 8-6, reg bits 11-9; data alterable
  Imm,            // an immediate of the operation size
  Dx,             // data register of bits 11-9
  Dy,             // data register of bits 2-0
  Ax,             // address register of bits 11-9
  Ay,             // address register of bits 2-0
  AxPostinc,      // (Ax)+ of bits 11-9
  AyPostinc,      // (Ay)+ of bits 2-0
  AxPredec,       // -(Ax) of bits 11-9
  AyPredec,       // -(Ay) of bits 2-0
  AyDisp,         // d16(Ay), one extension word
  Ccr,
  Sr,
  Usp,
  Quick,          // #1-8 of bits 11-9, 0 meaning 8
  TrapVector,     // #0-15 of bits 3-0
  MoveqData,      // the low byte, signed
  BranchTarget,   // the low byte as displacement; when 0, one extension word
  DbTarget,       // one extension word as displacement
  RegList,        // MOVEM mask, always the first extension word
  RegListPredec,  // the same mask bit-reversed, as -(An) stores it
};

struct Operands {
  Operand first = Operand::None;
  Operand second = Operand::None;
};

// What runs an instruction: each names one handler family in cpu/dispatch.h,
// which takes the size, the condition or the addressing kind from the opcode.
enum class Operation : std::uint8_t {
  // Line 0.
  MovepToRegister, MovepToMemory,
  BtstDynamic, BchgDynamic, BclrDynamic, BsetDynamic,
  BtstStatic, BchgStatic, BclrStatic, BsetStatic,
  OriToCcr, AndiToCcr, EoriToCcr, OriToSr, AndiToSr, EoriToSr,
  Ori, Andi, Subi, Addi, Eori, Cmpi,
  // Lines 1-3.
  MoveToAddress, Move,
  // Line 4.
  Chk, Lea, Negx, MoveFromSr, Clr, Neg, MoveToCcr, Not, MoveToSr, Nbcd, Swap, Pea, ExtWord, ExtLong,
  MovemToMemory, Tst, IllegalInstruction, Tas, MovemToRegisters, Trap, Link, Unlk, MoveToUsp, MoveFromUsp,
  ResetDevices, Nop, Stop, Rte, Rts, Trapv, Rtr, Jsr, Jmp,
  // Lines 5-7.
  Dbcc, Scc, Addq, Subq, Bcc, Moveq,
  // Line 8.
  OrToRegister, Divu, SbcdRegisters, SbcdMemory, OrToMemory, Divs,
  // Lines 9 and D.
  SubToRegister, Suba, SubxRegisters, SubxMemory, SubToMemory,
  AddToRegister, Adda, AddxRegisters, AddxMemory, AddToMemory,
  // Line B.
  CmpToRegister, Cmpa, Cmpm, Eor,
  // Line C.
  AndToRegister, Mulu, AbcdRegisters, AbcdMemory, ExgData, ExgAddress, ExgDataAddress, AndToMemory, Muls,
  // Line E.
  ShiftMemory, ShiftRegister,
};
inline constexpr unsigned kOperationCount = static_cast<unsigned>(Operation::ShiftRegister) + 1;

// Privileged instructions enter the privilege violation in user state, before
// they read any operand.
enum class Privilege : bool { User, Supervisor };

// A 16-character bit pattern: '0' and '1' must match, any other letter is a
// field; spaces only separate nibbles.
struct Pattern {
  std::uint16_t mask = 0;
  std::uint16_t value = 0;
};

consteval Pattern ParsePattern(const char* text) {
  Pattern pattern;
  int bits = 0;
  for (const char* c = text; *c; ++c) {
    if (*c == ' ') continue;
    pattern.mask = static_cast<std::uint16_t>(pattern.mask << 1 | (*c == '0' || *c == '1'));
    pattern.value = static_cast<std::uint16_t>(pattern.value << 1 | (*c == '1'));
    ++bits;
  }
  if (bits != 16) throw "a pattern has 16 bits";
  return pattern;
}

consteval int TextLength(const char* text) {
  int n = 0;
  while (text[n]) ++n;
  return n;
}

// Room for the longest mnemonic ("movem.l").
inline constexpr int kLongestMnemonic = 7;

struct Instruction {
  consteval Instruction(const char* bits, Mnemonic name, SizeFrom rowSize, Operands rowOperands, EaClass eaClass,
                        Operation runs, Privilege access = Privilege::User)
      : pattern(ParsePattern(bits)),
        mnemonic(name),
        size(rowSize),
        operands(rowOperands),
        ea(eaClass),
        operation(runs),
        privilege(access) {
    const bool suffixed = rowSize == SizeFrom::Field || rowSize == SizeFrom::Bit6 || rowSize == SizeFrom::MoveLine;
    if (TextLength(name.text) + (suffixed ? 2 : 0) > kLongestMnemonic) throw "mnemonic too long";
  }
  Pattern pattern;
  Mnemonic mnemonic;
  SizeFrom size;
  Operands operands;
  EaClass ea;  // the class bits 5-0 must be in
  Operation operation;
  Privilege privilege;
};

using enum SizeFrom;
using enum EaClass;
using enum Operand;
using enum Operation;
inline constexpr Privilege kSupervisor = Privilege::Supervisor;

// The MC68000's user and supervisor instructions, first match wins. CMPI
// takes PC-relative destinations, which the MC68000 does not; everything
// later than the MC68000 matches no row.
inline constexpr Instruction kInstructionSet[] = {
    // Line 0: immediate, bit and MOVEP.
    {"0000 xxx1 0000 1yyy", "movep.w", Word, {AyDisp, Dx}, Any, MovepToRegister},
    {"0000 xxx1 0100 1yyy", "movep.l", Long, {AyDisp, Dx}, Any, MovepToRegister},
    {"0000 xxx1 1000 1yyy", "movep.w", Word, {Dx, AyDisp}, Any, MovepToMemory},
    {"0000 xxx1 1100 1yyy", "movep.l", Long, {Dx, AyDisp}, Any, MovepToMemory},
    {"0000 xxx1 00mm mrrr", "btst", Byte, {Dx, Ea}, Data, BtstDynamic},
    {"0000 xxx1 01mm mrrr", "bchg", Byte, {Dx, Ea}, DataAlterable, BchgDynamic},
    {"0000 xxx1 10mm mrrr", "bclr", Byte, {Dx, Ea}, DataAlterable, BclrDynamic},
    {"0000 xxx1 11mm mrrr", "bset", Byte, {Dx, Ea}, DataAlterable, BsetDynamic},
    {"0000 1000 00mm mrrr", "btst", Byte, {Imm, Ea}, DataNoImmediate, BtstStatic},
    {"0000 1000 01mm mrrr", "bchg", Byte, {Imm, Ea}, DataAlterable, BchgStatic},
    {"0000 1000 10mm mrrr", "bclr", Byte, {Imm, Ea}, DataAlterable, BclrStatic},
    {"0000 1000 11mm mrrr", "bset", Byte, {Imm, Ea}, DataAlterable, BsetStatic},
    {"0000 0000 0011 1100", "ori", Byte, {Imm, Ccr}, Any, OriToCcr},
    {"0000 0010 0011 1100", "andi", Byte, {Imm, Ccr}, Any, AndiToCcr},
    {"0000 1010 0011 1100", "eori", Byte, {Imm, Ccr}, Any, EoriToCcr},
    {"0000 0000 0111 1100", "ori", Word, {Imm, Sr}, Any, OriToSr, kSupervisor},
    {"0000 0010 0111 1100", "andi", Word, {Imm, Sr}, Any, AndiToSr, kSupervisor},
    {"0000 1010 0111 1100", "eori", Word, {Imm, Sr}, Any, EoriToSr, kSupervisor},
    {"0000 0000 ssmm mrrr", "ori", Field, {Imm, Ea}, DataAlterable, Ori},
    {"0000 0010 ssmm mrrr", "andi", Field, {Imm, Ea}, DataAlterable, Andi},
    {"0000 0100 ssmm mrrr", "subi", Field, {Imm, Ea}, DataAlterable, Subi},
    {"0000 0110 ssmm mrrr", "addi", Field, {Imm, Ea}, DataAlterable, Addi},
    {"0000 1010 ssmm mrrr", "eori", Field, {Imm, Ea}, DataAlterable, Eori},
    {"0000 1100 ssmm mrrr", "cmpi", Field, {Imm, Ea}, DataNoImmediate, Cmpi},

    // Lines 1-3: MOVE (capitals: the destination) and MOVEA.
    {"0010 xxx0 01mm mrrr", "movea.l", Long, {Ea, Ax}, All, MoveToAddress},
    {"0011 xxx0 01mm mrrr", "movea.w", Word, {Ea, Ax}, All, MoveToAddress},
    {"0001 RRRM MMmm mrrr", "move", MoveLine, {Ea, MoveDest}, Data, Move},
    {"0010 RRRM MMmm mrrr", "move", MoveLine, {Ea, MoveDest}, All, Move},
    {"0011 RRRM MMmm mrrr", "move", MoveLine, {Ea, MoveDest}, All, Move},

    // Line 4.
    {"0100 xxx1 10mm mrrr", "chk.w", Word, {Ea, Dx}, Data, Chk},
    {"0100 xxx1 11mm mrrr", "lea", Long, {Ea, Ax}, Control, Lea},
    {"0100 0000 ssmm mrrr", "negx", Field, {Ea}, DataAlterable, Negx},
    {"0100 0000 11mm mrrr", "move", Word, {Sr, Ea}, DataAlterable, MoveFromSr},
    {"0100 0010 ssmm mrrr", "clr", Field, {Ea}, DataAlterable, Clr},
    {"0100 0100 ssmm mrrr", "neg", Field, {Ea}, DataAlterable, Neg},
    {"0100 0100 11mm mrrr", "move", Word, {Ea, Ccr}, Data, MoveToCcr},
    {"0100 0110 ssmm mrrr", "not", Field, {Ea}, DataAlterable, Not},
    {"0100 0110 11mm mrrr", "move", Word, {Ea, Sr}, Data, MoveToSr, kSupervisor},
    {"0100 1000 00mm mrrr", "nbcd", Byte, {Ea}, DataAlterable, Nbcd},
    {"0100 1000 0100 0yyy", "swap", Word, {Dy}, Any, Swap},
    {"0100 1000 01mm mrrr", "pea", Long, {Ea}, Control, Pea},
    {"0100 1000 1000 0yyy", "ext.w", Word, {Dy}, Any, ExtWord},
    {"0100 1000 1100 0yyy", "ext.l", Long, {Dy}, Any, ExtLong},
    {"0100 1000 1s10 0yyy", "movem", Bit6, {RegListPredec, AyPredec}, Any, MovemToMemory},
    {"0100 1000 1smm mrrr", "movem", Bit6, {RegList, Ea}, ControlAlterable, MovemToMemory},
    {"0100 1010 ssmm mrrr", "tst", Field, {Ea}, DataAlterable, Tst},
    {"0100 1010 1111 1100", "illegal", Word, {}, Any, IllegalInstruction},
    {"0100 1010 11mm mrrr", "tas", Byte, {Ea}, DataAlterable, Tas},
    {"0100 1100 1smm mrrr", "movem", Bit6, {Ea, RegList}, ControlOrPostinc, MovemToRegisters},
    {"0100 1110 0100 vvvv", "trap", Word, {TrapVector}, Any, Trap},
    {"0100 1110 0101 0yyy", "link", Word, {Ay, Imm}, Any, Link},
    {"0100 1110 0101 1yyy", "unlk", Long, {Ay}, Any, Unlk},
    {"0100 1110 0110 0yyy", "move", Long, {Ay, Usp}, Any, MoveToUsp, kSupervisor},
    {"0100 1110 0110 1yyy", "move", Long, {Usp, Ay}, Any, MoveFromUsp, kSupervisor},
    {"0100 1110 0111 0000", "reset", Word, {}, Any, ResetDevices, kSupervisor},
    {"0100 1110 0111 0001", "nop", Word, {}, Any, Nop},
    {"0100 1110 0111 0010", "stop", Word, {Imm}, Any, Stop, kSupervisor},
    {"0100 1110 0111 0011", "rte", Word, {}, Any, Rte, kSupervisor},
    {"0100 1110 0111 0101", "rts", Word, {}, Any, Rts},
    {"0100 1110 0111 0110", "trapv", Word, {}, Any, Trapv},
    {"0100 1110 0111 0111", "rtr", Word, {}, Any, Rtr},
    {"0100 1110 10mm mrrr", "jsr", Long, {Ea}, Control, Jsr},
    {"0100 1110 11mm mrrr", "jmp", Long, {Ea}, Control, Jmp},

    // Line 5: DBcc, Scc, ADDQ, SUBQ (a byte never goes to An).
    {"0101 cccc 1100 1yyy", kDBcc, Word, {Dy, DbTarget}, Any, Dbcc},
    {"0101 cccc 11mm mrrr", kScc, Byte, {Ea}, DataAlterable, Scc},
    {"0101 qqq0 00mm mrrr", "addq", Field, {Quick, Ea}, DataAlterable, Addq},
    {"0101 qqq0 ssmm mrrr", "addq", Field, {Quick, Ea}, Alterable, Addq},
    {"0101 qqq1 00mm mrrr", "subq", Field, {Quick, Ea}, DataAlterable, Subq},
    {"0101 qqq1 ssmm mrrr", "subq", Field, {Quick, Ea}, Alterable, Subq},

    // Lines 6 and 7: Bcc, BRA, BSR; MOVEQ.
    {"0110 cccc dddd dddd", kBcc, Word, {BranchTarget}, Any, Bcc},
    {"0111 xxx0 dddd dddd", "moveq", Long, {MoveqData, Dx}, Any, Moveq},

    // Line 8: OR, DIVU, DIVS, SBCD.
    {"1000 xxx0 ssmm mrrr", "or", Field, {Ea, Dx}, Data, OrToRegister},
    {"1000 xxx0 11mm mrrr", "divu.w", Word, {Ea, Dx}, Data, Divu},
    {"1000 xxx1 0000 0yyy", "sbcd", Byte, {Dy, Dx}, Any, SbcdRegisters},
    {"1000 xxx1 0000 1yyy", "sbcd", Byte, {AyPredec, AxPredec}, Any, SbcdMemory},
    {"1000 xxx1 ssmm mrrr", "or", Field, {Dx, Ea}, MemoryAlterable, OrToMemory},
    {"1000 xxx1 11mm mrrr", "divs.w", Word, {Ea, Dx}, Data, Divs},

    // Line 9: SUB, SUBA, SUBX.
    {"1001 xxx0 00mm mrrr", "sub", Field, {Ea, Dx}, Data, SubToRegister},
    {"1001 xxx0 ssmm mrrr", "sub", Field, {Ea, Dx}, All, SubToRegister},
    {"1001 xxx0 11mm mrrr", "suba.w", Word, {Ea, Ax}, All, Suba},
    {"1001 xxx1 ss00 0yyy", "subx", Field, {Dy, Dx}, Any, SubxRegisters},
    {"1001 xxx1 ss00 1yyy", "subx", Field, {AyPredec, AxPredec}, Any, SubxMemory},
    {"1001 xxx1 ssmm mrrr", "sub", Field, {Dx, Ea}, MemoryAlterable, SubToMemory},
    {"1001 xxx1 11mm mrrr", "suba.l", Long, {Ea, Ax}, All, Suba},

    // Line B: CMP, CMPA, CMPM, EOR.
    {"1011 xxx0 00mm mrrr", "cmp", Field, {Ea, Dx}, Data, CmpToRegister},
    {"1011 xxx0 ssmm mrrr", "cmp", Field, {Ea, Dx}, All, CmpToRegister},
    {"1011 xxx0 11mm mrrr", "cmpa.w", Word, {Ea, Ax}, All, Cmpa},
    {"1011 xxx1 ss00 1yyy", "cmpm", Field, {AyPostinc, AxPostinc}, Any, Cmpm},
    {"1011 xxx1 ssmm mrrr", "eor", Field, {Dx, Ea}, DataAlterable, Eor},
    {"1011 xxx1 11mm mrrr", "cmpa.l", Long, {Ea, Ax}, All, Cmpa},

    // Line C: AND, MULU, MULS, ABCD, EXG (the register of bits 2-0 first).
    {"1100 xxx0 ssmm mrrr", "and", Field, {Ea, Dx}, Data, AndToRegister},
    {"1100 xxx0 11mm mrrr", "mulu.w", Word, {Ea, Dx}, Data, Mulu},
    {"1100 xxx1 0000 0yyy", "abcd", Byte, {Dy, Dx}, Any, AbcdRegisters},
    {"1100 xxx1 0000 1yyy", "abcd", Byte, {AyPredec, AxPredec}, Any, AbcdMemory},
    {"1100 xxx1 0100 0yyy", "exg", Long, {Dy, Dx}, Any, ExgData},
    {"1100 xxx1 0100 1yyy", "exg", Long, {Ay, Ax}, Any, ExgAddress},
    {"1100 xxx1 1000 1yyy", "exg", Long, {Ay, Dx}, Any, ExgDataAddress},
    {"1100 xxx1 ssmm mrrr", "and", Field, {Dx, Ea}, MemoryAlterable, AndToMemory},
    {"1100 xxx1 11mm mrrr", "muls.w", Word, {Ea, Dx}, Data, Muls},

    // Line D: ADD, ADDA, ADDX.
    {"1101 xxx0 00mm mrrr", "add", Field, {Ea, Dx}, Data, AddToRegister},
    {"1101 xxx0 ssmm mrrr", "add", Field, {Ea, Dx}, All, AddToRegister},
    {"1101 xxx0 11mm mrrr", "adda.w", Word, {Ea, Ax}, All, Adda},
    {"1101 xxx1 ss00 0yyy", "addx", Field, {Dy, Dx}, Any, AddxRegisters},
    {"1101 xxx1 ss00 1yyy", "addx", Field, {AyPredec, AxPredec}, Any, AddxMemory},
    {"1101 xxx1 ssmm mrrr", "add", Field, {Dx, Ea}, MemoryAlterable, AddToMemory},
    {"1101 xxx1 11mm mrrr", "adda.l", Long, {Ea, Ax}, All, Adda},

    // Line E: memory shifts by one (type in bits 10-9), register shifts (type
    // in bits 4-3) by #q or by dX; d is the direction.
    {"1110 0ttd 11mm mrrr", kShift, Word, {Ea}, MemoryAlterable, ShiftMemory},
    {"1110 qqqd ss0t tyyy", kShift, Field, {Quick, Dy}, Any, ShiftRegister},
    {"1110 xxxd ss1t tyyy", kShift, Field, {Dx, Dy}, Any, ShiftRegister},

    // Lines A and F: no row.
};

// Every operation is run by some row, and a row names an addressing class
// exactly when one of its operands is the effective address of bits 5-0.
consteval bool EveryOperationHasARow() {
  for (unsigned operation = 0; operation < kOperationCount; ++operation) {
    bool found = false;
    for (const Instruction& row : kInstructionSet) found |= static_cast<unsigned>(row.operation) == operation;
    if (!found) return false;
  }
  return true;
}
static_assert(EveryOperationHasARow());

consteval bool ClassesWhereTheEffectiveAddressIs() {
  for (const Instruction& row : kInstructionSet) {
    const bool hasEa = row.operands.first == Ea || row.operands.second == Ea;
    if (hasEa != (row.ea != EaClass::Any)) return false;
  }
  return true;
}
static_assert(ClassesWhereTheEffectiveAddressIs());

// The rows of each line (opcode bits 15-12), in table order: every pattern
// fixes its line, so a decode need only try these.
inline constexpr unsigned kMostRowsInALine = 40;
struct LineRows {
  std::uint8_t count = 0;
  std::uint8_t rows[kMostRowsInALine] = {};
};

inline constexpr auto kRowsByLine = [] {
  std::array<LineRows, 16> lines{};
  for (unsigned i = 0; i < std::size(kInstructionSet); ++i) {
    const Pattern pattern = kInstructionSet[i].pattern;
    if ((pattern.mask >> 12) != 0xF) throw "a pattern fixes its line";
    LineRows& line = lines[pattern.value >> 12];
    if (line.count == kMostRowsInALine) throw "too many rows in a line";
    line.rows[line.count++] = static_cast<std::uint8_t>(i);
  }
  return lines;
}();

// The row that decodes op, or null when none matches.
constexpr const Instruction* FindInstruction(unsigned op) {
  const LineRows& line = kRowsByLine[(op >> 12) & 15];
  for (unsigned i = 0; i < line.count; ++i) {
    const Instruction& row = kInstructionSet[line.rows[i]];
    if ((op & row.pattern.mask) != row.pattern.value) continue;
    if (row.size == SizeFrom::Field && ((op >> 6) & 3) == 3) continue;
    return &row;
  }
  return nullptr;
}

// Whether op, decoded by row, is an instruction: its effective address is in
// the row's class, and a MOVE destination is data alterable.
constexpr bool IsValid(const Instruction& row, unsigned op) {
  if (!InClass(row.ea, (op >> 3) & 7, op & 7)) return false;
  const bool moveDest = row.operands.first == MoveDest || row.operands.second == MoveDest;
  return !moveDest || InClass(DataAlterable, (op >> 6) & 7, (op >> 9) & 7);
}

// The operation size in bytes (1, 2 or 4), and whether the mnemonic shows it.
struct OperationSize {
  unsigned bytes;
  bool suffixed;
};

constexpr OperationSize SizeOf(const Instruction& row, unsigned op) {
  switch (row.size) {
    case SizeFrom::Byte:
      return {1, false};
    case SizeFrom::Word:
      return {2, false};
    case SizeFrom::Long:
      return {4, false};
    case SizeFrom::Field:
      return {1u << ((op >> 6) & 3), true};
    case SizeFrom::Bit6:
      return {(op & 0x40) ? 4u : 2u, true};
    case SizeFrom::MoveLine:
      break;
  }
  const unsigned line = op >> 12;
  return {line == 1 ? 1u : line == 2 ? 4u : 2u, true};
}

}  // namespace isa
}  // namespace pellux
