#include "debugger/disassembler.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>

namespace pellux {
namespace disasm {
namespace {

constexpr std::uint32_t kAddressMask = 0xFFFFFF;

std::int32_t Signed8(std::uint32_t value) { return static_cast<std::int8_t>(value & 0xFF); }
std::int32_t Signed16(std::uint32_t value) { return static_cast<std::int16_t>(value & 0xFFFF); }

__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...) {
  char text[48];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return std::string(text, static_cast<std::size_t>(std::clamp(length, 0, int{sizeof text} - 1)));
}

// The index register of a brief extension word: "d3.w", "a7.l".
std::string FormatIndex(std::uint32_t ext) {
  return Format("%c%u.%c", (ext & 0x8000) ? 'a' : 'd', (ext >> 12) & 7, (ext & 0x0800) ? 'l' : 'w');
}

}  // namespace

bool InClass(EaClass eaClass, unsigned mode, unsigned reg) {
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

std::uint32_t InstructionReader::ReadExtensionWord() {
  position_ += 2;
  if (position_ > code_.size()) return 0;
  const std::uint8_t* p = code_.data() + (position_ - 2);
  return static_cast<std::uint32_t>(Signed16(static_cast<std::uint32_t>(p[0]) << 8 | p[1]));
}

std::uint32_t InstructionReader::ReadExtensionLong() {
  position_ += 4;
  if (position_ > code_.size()) return 0;
  const std::uint8_t* p = code_.data() + (position_ - 4);
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

char* AppendText(char* cursor, char* end, std::string_view text) {
  if (cursor >= end) return cursor;
  const std::size_t room = static_cast<std::size_t>(end - cursor);
  if (text.size() < room) return std::copy(text.begin(), text.end(), cursor);
  cursor = std::copy_n(text.begin(), room - 1, cursor);
  *cursor = '\0';
  return end;
}

std::string FormatImmediate(OpSize size, std::int32_t value) {
  if (size == OpSize::Byte || (value >= -255 && value <= 255)) return Format("#%d", value);
  if (size == OpSize::Word) return Format("#0x%.4x", static_cast<unsigned>(value) & 0xFFFF);
  return Format("#0x%.8x", static_cast<unsigned>(value));
}

std::string ReadImmediate(InstructionReader& reader, OpSize size) {
  switch (size) {
    case OpSize::Byte:
      return FormatImmediate(size, Signed8(reader.ReadExtensionWord()));
    case OpSize::Word:
      return FormatImmediate(size, Signed16(reader.ReadExtensionWord()));
    case OpSize::Long:
      break;
  }
  return FormatImmediate(size, static_cast<std::int32_t>(reader.ReadExtensionLong()));
}

std::string FormatEa(InstructionReader& reader, OpSize size, unsigned mode, unsigned reg) {
  switch (mode) {
    case 0:
      return Format("d%u", reg);
    case 1:
      return Format("a%u", reg);
    case 2:
      return Format("(a%u)", reg);
    case 3:
      return Format("(a%u)+", reg);
    case 4:
      return Format("-(a%u)", reg);
    case 5:
      return Format("%d(a%u)", Signed16(reader.ReadExtensionWord()), reg);
    case 6: {
      const std::uint32_t ext = reader.ReadExtensionWord();
      return Format("%d(a%u,%s)", Signed8(ext), reg, FormatIndex(ext).c_str());
    }
    default:
      break;
  }
  // Mode 7: the PC-relative base is the address of the extension word.
  const std::uint32_t base = reader.address() + reader.position();
  switch (reg) {
    case 0:
      return Format("%.4x", reader.ReadExtensionWord());
    case 1:
      return Format("%.4x", reader.ReadExtensionLong());
    case 2:
      return Format("pc:%.6x", (base + reader.ReadExtensionWord()) & kAddressMask);
    case 3: {
      const std::uint32_t ext = reader.ReadExtensionWord();
      const std::uint32_t target = (base + static_cast<std::uint32_t>(Signed8(ext))) & kAddressMask;
      return Format("pc:%.6x(%s)", target, FormatIndex(ext).c_str());
    }
    case 4:
      return ReadImmediate(reader, size);
    default:
      return "?";  // no such mode: the classes keep it out
  }
}

std::string FormatRegisterList(std::uint16_t mask) {
  if (mask == 0) return "?";
  std::string text;
  // Data registers, then address registers; a run never crosses from d7 to a0.
  for (const char bank : {'d', 'a'}) {
    const unsigned bits = bank == 'd' ? mask & 0xFFu : mask >> 8;
    unsigned first = 0;
    while (first < 8) {
      if (!(bits >> first & 1)) {
        ++first;
        continue;
      }
      unsigned last = first;
      while (last < 7 && (bits >> (last + 1) & 1)) ++last;
      if (!text.empty()) text += '/';
      text += Format("%c%u", bank, first);
      if (last > first) text += Format("-%c%u", bank, last);
      first = last + 1;
    }
  }
  return text;
}

std::string FormatBranchTarget(std::uint32_t address, std::int32_t displacement) {
  return Format("%.6x", (address + 2 + static_cast<std::uint32_t>(displacement)) & kAddressMask);
}

const char* ConditionName(ConditionKind kind, unsigned cc) {
  static constexpr std::array<std::array<const char*, 16>, 3> kNames = {{
      {"bra", "bsr", "bhi", "bls", "bcc", "bcs", "bne", "beq",  //
       "bvc", "bvs", "bpl", "bmi", "bge", "blt", "bgt", "ble"},
      {"st", "sf", "shi", "sls", "scc", "scs", "sne", "seq",  //
       "svc", "svs", "spl", "smi", "sge", "slt", "sgt", "sle"},
      {"dbt", "dbra", "dbhi", "dbls", "dbcc", "dbcs", "dbne", "dbeq",  //
       "dbvc", "dbvs", "dbpl", "dbmi", "dbge", "dblt", "dbgt", "dble"},
  }};
  return kNames[static_cast<unsigned>(kind)][cc & 15];
}

namespace {

// ---- The decode table -------------------------------------------------------

// Where the operation size, and the mnemonic's size suffix, come from.
enum class Size : std::uint8_t {
  Byte,  // fixed by the row: no suffix (or one written into the name)
  Word,
  Long,
  Field,     // bits 7-6 = 0, 1, 2: .b, .w, .l; 3 matches no row of this kind
  Bit6,      // MOVEM: bit 6 clear .w, set .l
  MoveLine,  // lines 1, 3, 2: .b, .w, .l
};

// How the mnemonic is named: a literal, or by a field of the opcode.
enum class Name : std::uint8_t { Text, Branch, Set, DecrementAndBranch, Shift };

struct Mnemonic {
  constexpr Mnemonic(const char* literal) : name(Name::Text), text(literal) {}
  constexpr explicit Mnemonic(Name byField) : name(byField), text("") {}
  Name name;
  const char* text;
};

constexpr Mnemonic kBcc{Name::Branch};               // condition of bits 11-8
constexpr Mnemonic kScc{Name::Set};                  // condition of bits 11-8
constexpr Mnemonic kDBcc{Name::DecrementAndBranch};  // condition of bits 11-8
constexpr Mnemonic kShift{Name::Shift};              // by type and direction

// The operand texts a row can ask for.
enum class Operand : std::uint8_t {
  None,
  Ea,             // the effective address of bits 5-0, at the operation size
  MoveDest,       // MOVE destination: mode bits 8-6, reg bits 11-9; must be data alterable
  Imm,            // an immediate of the operation size
  Dx,             // "d%d" of bits 11-9
  Dy,             // "d%d" of bits 2-0
  Ax,             // "a%d" of bits 11-9
  Ay,             // "a%d" of bits 2-0
  AxPostinc,      // "(a%d)+" of bits 11-9
  AyPostinc,      // "(a%d)+" of bits 2-0
  AxPredec,       // "-(a%d)" of bits 11-9
  AyPredec,       // "-(a%d)" of bits 2-0
  AyDisp,         // d16(aY), one extension word
  Ccr,            // "ccr"
  Sr,             // "sr"
  Usp,            // "usp"
  Quick,          // "#%d" of bits 11-9, 0 meaning 8
  TrapVector,     // "#%d" of bits 3-0
  MoveqData,      // "#%d" of the low byte, signed
  BranchTarget,   // the low byte as displacement; when 0, one extension word
  DbTarget,       // one extension word as displacement
  RegList,        // MOVEM mask, always the first extension word
  RegListPredec,  // the same mask bit-reversed, as -(An) stores it
};

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

consteval int Length(const char* text) {
  int n = 0;
  while (text[n]) ++n;
  return n;
}

struct Row {
  consteval Row(const char* bits, Mnemonic name, Size rowSize, EaClass eaClass,
                Operand firstOperand = Operand::None, Operand secondOperand = Operand::None)
      : pattern(ParsePattern(bits)),
        mnemonic(name),
        size(rowSize),
        ea(eaClass),
        first(firstOperand),
        second(secondOperand) {
    const bool suffixed = rowSize == Size::Field || rowSize == Size::Bit6 || rowSize == Size::MoveLine;
    if (Length(name.text) + (suffixed ? 2 : 0) >= int{kMnemonicCapacity}) throw "mnemonic too long";
  }
  Pattern pattern;
  Mnemonic mnemonic;
  Size size;
  EaClass ea;  // the class bits 5-0 must be in
  Operand first;
  Operand second;
};

using enum Size;
using enum EaClass;
using enum Operand;

// The MC68000's user and supervisor instructions. The first row whose pattern
// matches (and whose Field size is not 3) decides; an EA outside the row's
// class makes the opcode invalid. CMPI takes PC-relative destinations, which
// the MC68000 does not; everything later than the MC68000 matches no row.
constexpr Row kRows[] = {
    // Line 0: immediate, bit and MOVEP.
    {"0000 xxx1 0000 1yyy", "movep.w", Word, Any, AyDisp, Dx},
    {"0000 xxx1 0100 1yyy", "movep.l", Long, Any, AyDisp, Dx},
    {"0000 xxx1 1000 1yyy", "movep.w", Word, Any, Dx, AyDisp},
    {"0000 xxx1 1100 1yyy", "movep.l", Long, Any, Dx, AyDisp},
    {"0000 xxx1 00mm mrrr", "btst", Byte, Data, Dx, Ea},
    {"0000 xxx1 01mm mrrr", "bchg", Byte, DataAlterable, Dx, Ea},
    {"0000 xxx1 10mm mrrr", "bclr", Byte, DataAlterable, Dx, Ea},
    {"0000 xxx1 11mm mrrr", "bset", Byte, DataAlterable, Dx, Ea},
    {"0000 1000 00mm mrrr", "btst", Byte, DataNoImmediate, Imm, Ea},
    {"0000 1000 01mm mrrr", "bchg", Byte, DataAlterable, Imm, Ea},
    {"0000 1000 10mm mrrr", "bclr", Byte, DataAlterable, Imm, Ea},
    {"0000 1000 11mm mrrr", "bset", Byte, DataAlterable, Imm, Ea},
    {"0000 0000 0011 1100", "ori", Byte, Any, Imm, Ccr},
    {"0000 0010 0011 1100", "andi", Byte, Any, Imm, Ccr},
    {"0000 1010 0011 1100", "eori", Byte, Any, Imm, Ccr},
    {"0000 0000 0111 1100", "ori", Word, Any, Imm, Sr},
    {"0000 0010 0111 1100", "andi", Word, Any, Imm, Sr},
    {"0000 1010 0111 1100", "eori", Word, Any, Imm, Sr},
    {"0000 0000 ssmm mrrr", "ori", Field, DataAlterable, Imm, Ea},
    {"0000 0010 ssmm mrrr", "andi", Field, DataAlterable, Imm, Ea},
    {"0000 0100 ssmm mrrr", "subi", Field, DataAlterable, Imm, Ea},
    {"0000 0110 ssmm mrrr", "addi", Field, DataAlterable, Imm, Ea},
    {"0000 1010 ssmm mrrr", "eori", Field, DataAlterable, Imm, Ea},
    {"0000 1100 ssmm mrrr", "cmpi", Field, DataNoImmediate, Imm, Ea},

    // Lines 1-3: MOVE (capitals: the destination) and MOVEA.
    {"0010 xxx0 01mm mrrr", "movea.l", Long, All, Ea, Ax},
    {"0011 xxx0 01mm mrrr", "movea.w", Word, All, Ea, Ax},
    {"0001 RRRM MMmm mrrr", "move", MoveLine, Data, Ea, MoveDest},
    {"0010 RRRM MMmm mrrr", "move", MoveLine, All, Ea, MoveDest},
    {"0011 RRRM MMmm mrrr", "move", MoveLine, All, Ea, MoveDest},

    // Line 4.
    {"0100 xxx1 10mm mrrr", "chk.w", Word, Data, Ea, Dx},
    {"0100 xxx1 11mm mrrr", "lea", Long, Control, Ea, Ax},
    {"0100 0000 ssmm mrrr", "negx", Field, DataAlterable, Ea},
    {"0100 0000 11mm mrrr", "move", Word, DataAlterable, Sr, Ea},
    {"0100 0010 ssmm mrrr", "clr", Field, DataAlterable, Ea},
    {"0100 0100 ssmm mrrr", "neg", Field, DataAlterable, Ea},
    {"0100 0100 11mm mrrr", "move", Word, Data, Ea, Ccr},
    {"0100 0110 ssmm mrrr", "not", Field, DataAlterable, Ea},
    {"0100 0110 11mm mrrr", "move", Word, Data, Ea, Sr},
    {"0100 1000 00mm mrrr", "nbcd", Byte, DataAlterable, Ea},
    {"0100 1000 0100 0yyy", "swap", Word, Any, Dy},
    {"0100 1000 01mm mrrr", "pea", Long, Control, Ea},
    {"0100 1000 1000 0yyy", "ext.w", Word, Any, Dy},
    {"0100 1000 1100 0yyy", "ext.l", Long, Any, Dy},
    {"0100 1000 1s10 0yyy", "movem", Bit6, Any, RegListPredec, AyPredec},
    {"0100 1000 1smm mrrr", "movem", Bit6, ControlAlterable, RegList, Ea},
    {"0100 1010 ssmm mrrr", "tst", Field, DataAlterable, Ea},
    {"0100 1010 1111 1100", "illegal", Word, Any},
    {"0100 1010 11mm mrrr", "tas", Byte, DataAlterable, Ea},
    {"0100 1100 1smm mrrr", "movem", Bit6, ControlOrPostinc, Ea, RegList},
    {"0100 1110 0100 vvvv", "trap", Word, Any, TrapVector},
    {"0100 1110 0101 0yyy", "link", Word, Any, Ay, Imm},
    {"0100 1110 0101 1yyy", "unlk", Long, Any, Ay},
    {"0100 1110 0110 0yyy", "move", Long, Any, Ay, Usp},
    {"0100 1110 0110 1yyy", "move", Long, Any, Usp, Ay},
    {"0100 1110 0111 0000", "reset", Word, Any},
    {"0100 1110 0111 0001", "nop", Word, Any},
    {"0100 1110 0111 0010", "stop", Word, Any, Imm},
    {"0100 1110 0111 0011", "rte", Word, Any},
    {"0100 1110 0111 0101", "rts", Word, Any},
    {"0100 1110 0111 0110", "trapv", Word, Any},
    {"0100 1110 0111 0111", "rtr", Word, Any},
    {"0100 1110 10mm mrrr", "jsr", Long, Control, Ea},
    {"0100 1110 11mm mrrr", "jmp", Long, Control, Ea},

    // Line 5: DBcc, Scc, ADDQ, SUBQ (a byte never goes to An).
    {"0101 cccc 1100 1yyy", kDBcc, Word, Any, Dy, DbTarget},
    {"0101 cccc 11mm mrrr", kScc, Byte, DataAlterable, Ea},
    {"0101 qqq0 00mm mrrr", "addq", Field, DataAlterable, Quick, Ea},
    {"0101 qqq0 ssmm mrrr", "addq", Field, Alterable, Quick, Ea},
    {"0101 qqq1 00mm mrrr", "subq", Field, DataAlterable, Quick, Ea},
    {"0101 qqq1 ssmm mrrr", "subq", Field, Alterable, Quick, Ea},

    // Lines 6 and 7: Bcc, BRA, BSR; MOVEQ.
    {"0110 cccc dddd dddd", kBcc, Word, Any, BranchTarget},
    {"0111 xxx0 dddd dddd", "moveq", Long, Any, MoveqData, Dx},

    // Line 8: OR, DIVU, DIVS, SBCD.
    {"1000 xxx0 ssmm mrrr", "or", Field, Data, Ea, Dx},
    {"1000 xxx0 11mm mrrr", "divu.w", Word, Data, Ea, Dx},
    {"1000 xxx1 0000 0yyy", "sbcd", Byte, Any, Dy, Dx},
    {"1000 xxx1 0000 1yyy", "sbcd", Byte, Any, AyPredec, AxPredec},
    {"1000 xxx1 ssmm mrrr", "or", Field, MemoryAlterable, Dx, Ea},
    {"1000 xxx1 11mm mrrr", "divs.w", Word, Data, Ea, Dx},

    // Line 9: SUB, SUBA, SUBX.
    {"1001 xxx0 00mm mrrr", "sub", Field, Data, Ea, Dx},
    {"1001 xxx0 ssmm mrrr", "sub", Field, All, Ea, Dx},
    {"1001 xxx0 11mm mrrr", "suba.w", Word, All, Ea, Ax},
    {"1001 xxx1 ss00 0yyy", "subx", Field, Any, Dy, Dx},
    {"1001 xxx1 ss00 1yyy", "subx", Field, Any, AyPredec, AxPredec},
    {"1001 xxx1 ssmm mrrr", "sub", Field, MemoryAlterable, Dx, Ea},
    {"1001 xxx1 11mm mrrr", "suba.l", Long, All, Ea, Ax},

    // Line B: CMP, CMPA, CMPM, EOR.
    {"1011 xxx0 00mm mrrr", "cmp", Field, Data, Ea, Dx},
    {"1011 xxx0 ssmm mrrr", "cmp", Field, All, Ea, Dx},
    {"1011 xxx0 11mm mrrr", "cmpa.w", Word, All, Ea, Ax},
    {"1011 xxx1 ss00 1yyy", "cmpm", Field, Any, AyPostinc, AxPostinc},
    {"1011 xxx1 ssmm mrrr", "eor", Field, DataAlterable, Dx, Ea},
    {"1011 xxx1 11mm mrrr", "cmpa.l", Long, All, Ea, Ax},

    // Line C: AND, MULU, MULS, ABCD, EXG (the register of bits 2-0 first).
    {"1100 xxx0 ssmm mrrr", "and", Field, Data, Ea, Dx},
    {"1100 xxx0 11mm mrrr", "mulu.w", Word, Data, Ea, Dx},
    {"1100 xxx1 0000 0yyy", "abcd", Byte, Any, Dy, Dx},
    {"1100 xxx1 0000 1yyy", "abcd", Byte, Any, AyPredec, AxPredec},
    {"1100 xxx1 0100 0yyy", "exg", Long, Any, Dy, Dx},
    {"1100 xxx1 0100 1yyy", "exg", Long, Any, Ay, Ax},
    {"1100 xxx1 1000 1yyy", "exg", Long, Any, Ay, Dx},
    {"1100 xxx1 ssmm mrrr", "and", Field, MemoryAlterable, Dx, Ea},
    {"1100 xxx1 11mm mrrr", "muls.w", Word, Data, Ea, Dx},

    // Line D: ADD, ADDA, ADDX.
    {"1101 xxx0 00mm mrrr", "add", Field, Data, Ea, Dx},
    {"1101 xxx0 ssmm mrrr", "add", Field, All, Ea, Dx},
    {"1101 xxx0 11mm mrrr", "adda.w", Word, All, Ea, Ax},
    {"1101 xxx1 ss00 0yyy", "addx", Field, Any, Dy, Dx},
    {"1101 xxx1 ss00 1yyy", "addx", Field, Any, AyPredec, AxPredec},
    {"1101 xxx1 ssmm mrrr", "add", Field, MemoryAlterable, Dx, Ea},
    {"1101 xxx1 11mm mrrr", "adda.l", Long, All, Ea, Ax},

    // Line E: memory shifts by one (type in bits 10-9), register shifts (type
    // in bits 4-3) by #q or by dX; d is the direction.
    {"1110 0ttd 11mm mrrr", kShift, Word, MemoryAlterable, Ea},
    {"1110 qqqd ss0t tyyy", kShift, Field, Any, Quick, Dy},
    {"1110 xxxd ss1t tyyy", kShift, Field, Any, Dx, Dy},

    // Lines A and F: no row.
};

// Shift and rotate names by type, then direction (right, left).
constexpr const char* kShiftNames[4][2] = {{"asr", "asl"}, {"lsr", "lsl"}, {"roxr", "roxl"}, {"ror", "rol"}};

const Row* FindRow(unsigned op) {
  for (const Row& row : kRows) {
    if ((op & row.pattern.mask) != row.pattern.value) continue;
    if (row.size == Size::Field && ((op >> 6) & 3) == 3) continue;
    return &row;
  }
  return nullptr;
}

bool Valid(const Row& row, unsigned op) {
  if (!InClass(row.ea, (op >> 3) & 7, op & 7)) return false;
  const bool moveDest = row.first == MoveDest || row.second == MoveDest;
  return !moveDest || InClass(DataAlterable, (op >> 6) & 7, (op >> 9) & 7);
}

struct SizeChoice {
  OpSize size;
  bool suffixed;
};

SizeChoice ChooseSize(Size size, unsigned op) {
  static constexpr OpSize kBySizeField[3] = {OpSize::Byte, OpSize::Word, OpSize::Long};
  switch (size) {
    case Size::Byte:
      return {OpSize::Byte, false};
    case Size::Word:
      return {OpSize::Word, false};
    case Size::Long:
      return {OpSize::Long, false};
    case Size::Field:
      return {kBySizeField[(op >> 6) & 3], true};
    case Size::Bit6:
      return {(op & 0x40) ? OpSize::Long : OpSize::Word, true};
    case Size::MoveLine:
      break;
  }
  const unsigned line = op >> 12;
  return {line == 1 ? OpSize::Byte : line == 2 ? OpSize::Long : OpSize::Word, true};
}

char SuffixLetter(OpSize size) { return size == OpSize::Byte ? 'b' : size == OpSize::Word ? 'w' : 'l'; }

std::string MnemonicText(const Row& row, unsigned op, SizeChoice size) {
  const unsigned cc = (op >> 8) & 15;
  std::string text;
  bool suffixed = size.suffixed;
  switch (row.mnemonic.name) {
    case Name::Text:
      text = row.mnemonic.text;
      break;
    case Name::Branch:
      text = ConditionName(ConditionKind::Branch, cc);
      break;
    case Name::Set:
      text = ConditionName(ConditionKind::Set, cc);
      break;
    case Name::DecrementAndBranch:
      text = ConditionName(ConditionKind::DecrementAndBranch, cc);
      break;
    case Name::Shift: {
      const bool memory = ((op >> 6) & 3) == 3;
      text = kShiftNames[memory ? (op >> 9) & 3 : (op >> 3) & 3][(op >> 8) & 1];
      suffixed = true;  // memory shifts are always .w
      break;
    }
  }
  if (suffixed) {
    text += '.';
    text += SuffixLetter(size.size);
  }
  return text;
}

std::uint16_t ReverseBits(std::uint16_t mask) {
  std::uint16_t reversed = 0;
  for (int i = 0; i < 16; ++i) reversed = static_cast<std::uint16_t>(reversed << 1 | (mask >> i & 1));
  return reversed;
}

std::string OperandText(Operand operand, unsigned op, OpSize size, std::uint16_t mask,
                        InstructionReader& reader) {
  const unsigned x = (op >> 9) & 7;
  const unsigned y = op & 7;
  switch (operand) {
    case None:
      return "";
    case Ea:
      return FormatEa(reader, size, (op >> 3) & 7, y);
    case MoveDest:
      return FormatEa(reader, size, (op >> 6) & 7, x);
    case Imm:
      return ReadImmediate(reader, size);
    // Register operands print as the effective address of their mode.
    case Dx:
      return FormatEa(reader, size, 0, x);
    case Dy:
      return FormatEa(reader, size, 0, y);
    case Ax:
      return FormatEa(reader, size, 1, x);
    case Ay:
      return FormatEa(reader, size, 1, y);
    case AxPostinc:
      return FormatEa(reader, size, 3, x);
    case AyPostinc:
      return FormatEa(reader, size, 3, y);
    case AxPredec:
      return FormatEa(reader, size, 4, x);
    case AyPredec:
      return FormatEa(reader, size, 4, y);
    case AyDisp:
      return FormatEa(reader, size, 5, y);
    case Ccr:
      return "ccr";
    case Sr:
      return "sr";
    case Usp:
      return "usp";
    case Quick:
      return Format("#%u", x == 0 ? 8 : x);
    case TrapVector:
      return Format("#%u", op & 15);
    case MoveqData:
      return Format("#%d", Signed8(op));
    case BranchTarget: {
      const std::int32_t displacement = (op & 0xFF) ? Signed8(op) : Signed16(reader.ReadExtensionWord());
      return FormatBranchTarget(reader.address(), displacement);
    }
    case DbTarget:
      return FormatBranchTarget(reader.address(), Signed16(reader.ReadExtensionWord()));
    case RegList:
      return FormatRegisterList(mask);
    case RegListPredec:
      return FormatRegisterList(ReverseBits(mask));
  }
  return "";
}

void Terminate(char* cursor, std::span<char> buffer) {
  if (cursor < buffer.data() + buffer.size()) *cursor = '\0';
}

}  // namespace
}  // namespace disasm

std::uint32_t Disassemble(std::span<const std::uint8_t> code, std::uint32_t address,
                          char (&mnemonic)[kMnemonicCapacity], std::span<char> operands) {
  using namespace disasm;
  char* cursor = operands.data();
  char* const end = operands.data() + operands.size();
  const auto finish = [&](std::string_view name, std::uint32_t length) {
    Terminate(AppendText(mnemonic, mnemonic + kMnemonicCapacity, name), mnemonic);
    Terminate(cursor, operands);
    return length;
  };

  if (code.size() < 2) return finish("?", static_cast<std::uint32_t>(code.size()));
  const unsigned op = static_cast<unsigned>(code[0]) << 8 | code[1];
  const Row* row = FindRow(op);
  if (!row || !Valid(*row, op)) return finish("?", 2);

  InstructionReader reader(code, address);
  const SizeChoice size = ChooseSize(row->size, op);
  // MOVEM's mask is the first extension word even when the list prints last.
  const auto isList = [](Operand operand) { return operand == RegList || operand == RegListPredec; };
  const bool hasList = isList(row->first) || isList(row->second);
  const std::uint16_t mask = hasList ? static_cast<std::uint16_t>(reader.ReadExtensionWord()) : 0;

  // Operands in order, so their extension words are read in instruction order.
  if (row->first != None)
    cursor = AppendText(cursor, end, OperandText(row->first, op, size.size, mask, reader));
  if (row->second != None) {
    cursor = AppendText(cursor, end, ", ");
    cursor = AppendText(cursor, end, OperandText(row->second, op, size.size, mask, reader));
  }
  const std::uint32_t length =
      static_cast<std::uint32_t>(std::min<std::size_t>(reader.position(), code.size()));
  return finish(MnemonicText(*row, op, size), length);
}

}  // namespace pellux
