// The disassembler on its own: decoding, operand texts, and what it does when
// the bytes or the operand buffer run out.
#include "debugger/disassembler.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "tests/test_support.h"

namespace pellux {
namespace {

using test::DisassembleBytes;
using test::WordBytes;

struct Case {
  std::initializer_list<std::uint16_t> words;
  std::uint32_t address;
  std::size_t available;  // 0: all the words
  const char* mnemonic;
  const char* operands;
  std::uint32_t length;
};

// (bytes, address, available) -> (mnemonic, operands, length).
const Case kCases[] = {
    {{0x4E71}, 0, 0, "nop", "", 2},
    {{0xA000, 0x1234}, 0, 0, "?", "", 2},
    {{0xF000, 0x1234}, 0, 0, "?", "", 2},
    // Immediates: decimal within -255..255, else hexadecimal of the size.
    {{0x0040, 0x00FF}, 0, 0, "ori.w", "#255, d0", 4},
    {{0x0040, 0x0100}, 0, 0, "ori.w", "#0x0100, d0", 4},
    {{0x0040, 0xFF01}, 0, 0, "ori.w", "#-255, d0", 4},
    {{0x0040, 0xFF00}, 0, 0, "ori.w", "#0xff00, d0", 4},
    {{0x0000, 0x12FF}, 0, 0, "ori.b", "#-1, d0", 4},
    {{0x0080, 0x0000, 0x0100}, 0, 0, "ori.l", "#0x00000100, d0", 6},
    {{0x0080, 0xFFFF, 0xFFFF}, 0, 0, "ori.l", "#-1, d0", 6},
    {{0x003C, 0x0034}, 0, 0, "ori", "#52, ccr", 4},
    {{0x007C, 0x1234}, 0, 0, "ori", "#0x1234, sr", 4},
    // Branch targets are relative to the opcode address + 2.
    {{0x6000, 0xFFFE}, 0x1000, 0, "bra", "001000", 4},
    {{0x60FF}, 0x1000, 0, "bra", "001001", 2},
    {{0x6700, 0x0010}, 0x1000, 0, "beq", "001012", 4},
    {{0x6106}, 0xFFFFFE, 0, "bsr", "000006", 2},
    {{0x51C8, 0xFFFC}, 0x1000, 0, "dbra", "d0, 000ffe", 4},
    // PC-relative bases are the address of the extension word.
    {{0x41FA, 0x1234}, 0x1000, 0, "lea", "pc:002236, a0", 4},
    {{0x103B, 0xF8FE}, 0x1000, 0, "move.b", "pc:001000(a7.l), d0", 4},
    {{0x0C3A, 0x0005, 0x0010}, 0x1000, 0, "cmpi.b", "#5, pc:001014", 6},
    // Absolute addresses: a short one sign-extended.
    {{0x1038, 0x9ABC}, 0, 0, "move.b", "ffff9abc, d0", 4},
    {{0x1039, 0x0000, 0x1234}, 0, 0, "move.b", "1234, d0", 6},
    {{0x23F9, 0x1234, 0x5678, 0x0001, 0x0002}, 0, 0, "move.l", "12345678, 10002", 10},
    {{0x2228, 0xFFFC}, 0, 0, "move.l", "-4(a0), d1", 4},
    {{0x3030, 0x7FFE}, 0, 0, "move.w", "-2(a0,d7.l), d0", 4},
    // MOVEM: the mask comes first, even when the list prints last; -(An) reverses it.
    {{0x48E7, 0xFFFF}, 0, 0, "movem.l", "d0-d7/a0-a7, -(a7)", 4},
    {{0x48E7, 0x0000}, 0, 0, "movem.l", "?, -(a7)", 4},
    {{0x48A7, 0x0003}, 0, 0, "movem.w", "a6-a7, -(a7)", 4},
    {{0x4CDF, 0x8001}, 0, 0, "movem.l", "(a7)+, d0/a7", 4},
    {{0x4CA8, 0x0300, 0x0010}, 0, 0, "movem.w", "16(a0), a0-a1", 6},
    // EXG prints the register of bits 2-0 first.
    {{0xC188}, 0, 0, "exg", "a0, d0", 2},
    {{0xC14F}, 0, 0, "exg", "a7, a0", 2},
    {{0xC340}, 0, 0, "exg", "d0, d1", 2},
    // Quick data, shifts, conditions, the 0x4E40 group.
    {{0x5088}, 0, 0, "addq.l", "#8, a0", 2},
    {{0x5008}, 0, 0, "?", "", 2},
    {{0x57C0}, 0, 0, "seq", "d0", 2},
    {{0x70FF}, 0, 0, "moveq", "#-1, d0", 2},
    {{0xE348}, 0, 0, "lsl.w", "#1, d0", 2},
    {{0xE0A1}, 0, 0, "asr.l", "d0, d1", 2},
    {{0xE7D0}, 0, 0, "rol.w", "(a0)", 2},
    {{0xE4F8, 0x1000}, 0, 0, "roxr.w", "1000", 4},
    {{0xE8C0}, 0, 0, "?", "", 2},
    {{0xE0C0}, 0, 0, "?", "", 2},
    {{0x4E4F}, 0, 0, "trap", "#15", 2},
    {{0x4E56, 0xFFF8}, 0, 0, "link", "a6, #-8", 4},
    {{0x4E72, 0x2700}, 0, 0, "stop", "#0x2700", 4},
    {{0x4E68}, 0, 0, "move", "usp, a0", 2},
    {{0x4AFC}, 0, 0, "illegal", "", 2},
    // Line 0 bit and MOVEP forms; BCD and CMPM.
    {{0x0188, 0x0004}, 0, 0, "movep.w", "d0, 4(a0)", 4},
    {{0x013C, 0x0012}, 0, 0, "btst", "d0, #18", 4},
    {{0x8F08}, 0, 0, "sbcd", "-(a0), -(a7)", 2},
    {{0x8F48}, 0, 0, "?", "", 2},
    {{0xB308}, 0, 0, "cmpm.b", "(a0)+, (a1)+", 2},
    // CMPI takes a PC-relative destination; MC68010 and later encodings are invalid.
    {{0x083C, 0x0001}, 0, 0, "?", "", 2},
    {{0x4A3C, 0x0001}, 0, 0, "?", "", 2},
    {{0x7100}, 0, 0, "?", "", 2},
    {{0x4E74, 0x0008}, 0, 0, "?", "", 2},
    {{0x4E7A, 0x0801}, 0, 0, "?", "", 2},
    {{0x42C0}, 0, 0, "?", "", 2},
    // Fewer bytes than the instruction: missing words read as 0, the length is cut.
    {{0x0C40}, 0, 2, "cmpi.w", "#0, d0", 2},
    {{0x23F9, 0x1234, 0x5678, 0x0001, 0x0002}, 0, 8, "move.l", "12345678, 0000", 8},
    {{0x23F9, 0x1234, 0x5678, 0x0001, 0x0002}, 0, 5, "move.l", "0000, 0000", 5},
    {{0x6000, 0x0100}, 0x1000, 2, "bra", "001002", 2},
    {{0x51C8, 0xFFFC}, 0x1000, 3, "dbra", "d0, 001002", 3},
    {{0x4E71}, 0, 1, "?", "", 1},
};

TEST(Disassembler, DecodesTheTableOfCases) {
  for (const Case& c : kCases) {
    std::vector<std::uint8_t> bytes = WordBytes(c.words);
    if (c.available) bytes.resize(c.available);
    const auto got = DisassembleBytes(bytes, c.address);
    SCOPED_TRACE(::testing::Message() << "opcode " << std::hex << *c.words.begin() << ", " << std::dec
                                      << bytes.size() << " bytes");
    EXPECT_EQ(got.mnemonic, c.mnemonic);
    EXPECT_EQ(got.operands, c.operands);
    EXPECT_EQ(got.length, c.length);
  }
}

TEST(Disassembler, RegisterLists) {
  using disasm::FormatRegisterList;
  EXPECT_EQ(FormatRegisterList(0x0000), "?");
  EXPECT_EQ(FormatRegisterList(0x0001), "d0");
  EXPECT_EQ(FormatRegisterList(0x0007), "d0-d2");
  EXPECT_EQ(FormatRegisterList(0x0003), "d0-d1");
  EXPECT_EQ(FormatRegisterList(0x0180), "d7/a0");  // a run never crosses from d7 into a0
  EXPECT_EQ(FormatRegisterList(0xFFFF), "d0-d7/a0-a7");
  EXPECT_EQ(FormatRegisterList(0x5555), "d0/d2/d4/d6/a0/a2/a4/a6");
  EXPECT_EQ(FormatRegisterList(0xC0FE), "d1-d7/a6-a7");
  EXPECT_EQ(FormatRegisterList(0x8000), "a7");
}

TEST(Disassembler, Immediates) {
  using disasm::FormatImmediate;
  using disasm::OpSize;
  EXPECT_EQ(FormatImmediate(OpSize::Byte, -128), "#-128");
  EXPECT_EQ(FormatImmediate(OpSize::Byte, 127), "#127");
  EXPECT_EQ(FormatImmediate(OpSize::Word, 255), "#255");
  EXPECT_EQ(FormatImmediate(OpSize::Word, 256), "#0x0100");
  EXPECT_EQ(FormatImmediate(OpSize::Word, -255), "#-255");
  EXPECT_EQ(FormatImmediate(OpSize::Word, -256), "#0xff00");
  EXPECT_EQ(FormatImmediate(OpSize::Word, -32768), "#0x8000");
  EXPECT_EQ(FormatImmediate(OpSize::Long, 256), "#0x00000100");
  EXPECT_EQ(FormatImmediate(OpSize::Long, -256), "#0xffffff00");
  EXPECT_EQ(FormatImmediate(OpSize::Long, -1), "#-1");
}

TEST(Disassembler, ConditionNames) {
  using disasm::ConditionKind;
  using disasm::ConditionName;
  EXPECT_STREQ(ConditionName(ConditionKind::Branch, 0), "bra");
  EXPECT_STREQ(ConditionName(ConditionKind::Branch, 1), "bsr");
  EXPECT_STREQ(ConditionName(ConditionKind::Set, 0), "st");
  EXPECT_STREQ(ConditionName(ConditionKind::Set, 15), "sle");
  EXPECT_STREQ(ConditionName(ConditionKind::DecrementAndBranch, 1), "dbra");
  EXPECT_STREQ(ConditionName(ConditionKind::DecrementAndBranch, 12), "dbge");
}

TEST(Disassembler, AddressingClasses) {
  using disasm::EaClass;
  using disasm::InClass;
  struct Row {
    EaClass eaClass;
    const char* accepted;  // one letter per field: modes 0-6, then mode 7 regs 0-7
  };
  const Row rows[] = {
      {EaClass::All,
       "1111111"
       "11111000"},
      {EaClass::Data,
       "1011111"
       "11111000"},
      {EaClass::DataNoImmediate,
       "1011111"
       "11110000"},
      {EaClass::DataAlterable,
       "1011111"
       "11000000"},
      {EaClass::MemoryAlterable,
       "0011111"
       "11000000"},
      {EaClass::Alterable,
       "1111111"
       "11000000"},
      {EaClass::Control,
       "0010011"
       "11110000"},
      {EaClass::ControlAlterable,
       "0010011"
       "11000000"},
      {EaClass::ControlOrPostinc,
       "0011011"
       "11110000"},
  };
  for (const Row& row : rows) {
    for (unsigned field = 0; field < 15; ++field) {
      const unsigned mode = field < 7 ? field : 7;
      const unsigned reg = field < 7 ? 3 : field - 7;
      EXPECT_EQ(InClass(row.eaClass, mode, reg), row.accepted[field] == '1')
          << "class " << static_cast<int>(row.eaClass) << ", mode " << mode << " reg " << reg;
    }
  }
}

TEST(Disassembler, AppendTextCutsToTheBuffer) {
  using disasm::AppendText;
  char buffer[8];
  std::memset(buffer, 'z', sizeof buffer);
  char* const end = buffer + sizeof buffer;
  char* cursor = AppendText(buffer, end, "abc");
  EXPECT_EQ(cursor, buffer + 3);
  cursor = AppendText(cursor, end, "defg");  // 4 characters with 5 bytes left: fits
  EXPECT_EQ(cursor, buffer + 7);
  cursor = AppendText(cursor, end, "h");  // 1 character with 1 byte left: cut to nothing
  EXPECT_EQ(cursor, end);
  EXPECT_STREQ(buffer, "abcdefg");
  EXPECT_EQ(AppendText(cursor, end, "more"), end);
  EXPECT_STREQ(buffer, "abcdefg");

  std::memset(buffer, 'z', sizeof buffer);
  EXPECT_EQ(AppendText(buffer, end, "0123456789"), end);
  EXPECT_STREQ(buffer, "0123456");
  EXPECT_EQ(AppendText(buffer, buffer, "x"), buffer) << "no room: nothing written";
  EXPECT_EQ(buffer[0], '0');
}

// The operand text never passes the capacity it is given, and stays terminated.
TEST(Disassembler, OperandTextIsCutToItsCapacity) {
  const std::vector<std::uint8_t> code = WordBytes({0x48E7, 0xFFFF});  // "d0-d7/a0-a7, -(a7)"
  const std::string full = "d0-d7/a0-a7, -(a7)";
  for (std::size_t capacity = 0; capacity <= full.size() + 2; ++capacity) {
    char buffer[32];
    std::memset(buffer, 'z', sizeof buffer);
    char mnemonic[kMnemonicCapacity];
    const std::uint32_t length = Disassemble(code, 0, mnemonic, std::span<char>(buffer, capacity));
    EXPECT_EQ(length, 4u);
    EXPECT_STREQ(mnemonic, "movem.l");
    for (std::size_t i = capacity; i < sizeof buffer; ++i)
      ASSERT_EQ(buffer[i], 'z') << "capacity " << capacity;
    if (capacity > 0) {
      EXPECT_EQ(std::string(buffer), full.substr(0, capacity - 1)) << "capacity " << capacity;
    }
  }
}

// Random bytes at every available count: nothing is read outside them (the
// sanitizer build checks that), the mnemonic depends on the opcode alone, and
// fewer bytes only cut the length.
TEST(Disassembler, RandomBytesAtEveryAvailableCount) {
  constexpr unsigned kSeed = 20240611;
  std::mt19937 random(kSeed);
  SCOPED_TRACE(::testing::Message() << "seed " << kSeed);
  for (int round = 0; round < 20000; ++round) {
    std::uint8_t bytes[10];
    for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(random());
    const auto whole = DisassembleBytes(bytes, static_cast<std::uint32_t>(random()));
    ASSERT_GE(whole.length, 2u);
    ASSERT_LE(whole.length, 10u);
    ASSERT_TRUE(whole.length % 2 == 0);
    for (std::size_t available = 2; available < 10; ++available) {
      // An exact-size copy, so that a read past it is a heap overflow.
      const std::vector<std::uint8_t> code(bytes, bytes + available);
      const auto cut = DisassembleBytes(code, 0x1000);
      ASSERT_EQ(cut.mnemonic, whole.mnemonic) << std::hex << "opcode " << (bytes[0] << 8 | bytes[1]);
      ASSERT_EQ(cut.length, std::min<std::uint32_t>(whole.length, static_cast<std::uint32_t>(available)))
          << std::hex << "opcode " << (bytes[0] << 8 | bytes[1]) << std::dec << ", " << available << " bytes";
    }
    std::vector<char> operands(random() % 24);
    char mnemonic[kMnemonicCapacity];
    Disassemble(bytes, 0, mnemonic, operands);
    if (!operands.empty()) {
      ASSERT_NE(std::memchr(operands.data(), 0, operands.size()), nullptr);
    }
  }
}

}  // namespace
}  // namespace pellux
