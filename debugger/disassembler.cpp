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

using isa::Instruction;
using isa::Operand;
using enum isa::Operand;

// Shift and rotate names by type, then direction (right, left).
constexpr const char* kShiftNames[4][2] = {{"asr", "asl"}, {"lsr", "lsl"}, {"roxr", "roxl"}, {"ror", "rol"}};

char SuffixLetter(OpSize size) { return size == OpSize::Byte ? 'b' : size == OpSize::Word ? 'w' : 'l'; }

std::string MnemonicText(const Instruction& row, unsigned op, isa::OperationSize size) {
  using isa::NameFrom;
  const unsigned cc = (op >> 8) & 15;
  std::string text;
  bool suffixed = size.suffixed;
  switch (row.mnemonic.from) {
    case NameFrom::Text:
      text = row.mnemonic.text;
      break;
    case NameFrom::Branch:
      text = ConditionName(ConditionKind::Branch, cc);
      break;
    case NameFrom::Set:
      text = ConditionName(ConditionKind::Set, cc);
      break;
    case NameFrom::DecrementAndBranch:
      text = ConditionName(ConditionKind::DecrementAndBranch, cc);
      break;
    case NameFrom::Shift: {
      const bool memory = ((op >> 6) & 3) == 3;
      text = kShiftNames[memory ? (op >> 9) & 3 : (op >> 3) & 3][(op >> 8) & 1];
      suffixed = true;  // memory shifts are always .w
      break;
    }
  }
  if (suffixed) {
    text += '.';
    text += SuffixLetter(static_cast<OpSize>(size.bytes));
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
  const Instruction* row = isa::FindInstruction(op);
  if (!row || !isa::IsValid(*row, op)) return finish("?", 2);

  InstructionReader reader(code, address);
  const isa::OperationSize size = isa::SizeOf(*row, op);
  const auto opSize = static_cast<OpSize>(size.bytes);
  const Operand first = row->operands.first, second = row->operands.second;
  // MOVEM's mask is the first extension word even when the list prints last.
  const auto isList = [](Operand operand) { return operand == RegList || operand == RegListPredec; };
  const bool hasList = isList(first) || isList(second);
  const std::uint16_t mask = hasList ? static_cast<std::uint16_t>(reader.ReadExtensionWord()) : 0;

  // Operands in order, so their extension words are read in instruction order.
  if (first != None) cursor = AppendText(cursor, end, OperandText(first, op, opSize, mask, reader));
  if (second != None) {
    cursor = AppendText(cursor, end, ", ");
    cursor = AppendText(cursor, end, OperandText(second, op, opSize, mask, reader));
  }
  const std::uint32_t length =
      static_cast<std::uint32_t>(std::min<std::size_t>(reader.position(), code.size()));
  return finish(MnemonicText(*row, op, size), length);
}

}  // namespace pellux
