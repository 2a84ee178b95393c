// The debugger's register and memory lines, register edits, and the address
// entry (hex or a symbol).
#include <gtest/gtest.h>

#include <array>

#include "cpu/core.h"
#include "cpu/exceptions.h"
#include "debugger/debug_text.h"
#include "debugger/numbers.h"
#include "debugger/symbols.h"
#include "test_support.h"

namespace pellux {
namespace {

std::vector<std::string> Texts(const CpuState& cpu) {
  std::vector<std::string> texts;
  for (const RegisterRow& row : RegisterRows(cpu)) texts.push_back(row.text);
  return texts;
}

TEST(DebugText, RegisterLines) {
  CpuState cpu{};
  for (unsigned i = 0; i < 16; ++i) cpu.regs[i] = 0x11111111u * i + 0xA;
  cpu.pc = 0xDEADBEEF;
  cpu.SetFlagC(true);
  cpu.SetFlagZ(true);
  cpu.SetFlagX(true);
  cpu.s = 1;
  cpu.intMask = 5;
  cpu.otherSp = 0x1234;
  const std::vector<std::string> expected = {
      "D0:0000000a", "D1:1111111b", "D2:2222222c", "D3:3333333d", "D4:4444444e", "D5:5555555f",
      "D6:66666670", "D7:77777781", "A0:88888892", "A1:999999a3", "A2:aaaaaab4", "A3:bbbbbbc5",
      "A4:ccccccd6", "A5:dddddde7", "A6:eeeeeef8", "A7:00000009", "PC:deadbeef", "SR:2515",
      "T:0 S:1 Mask:5", "C:1 V:0 Z:1 N:0 X:1", "USP:00001234", "SSP:00000009",
  };
  EXPECT_EQ(Texts(cpu), expected);
  cpu.SetFlagV(true);
  cpu.SetFlagN(true);
  cpu.t = 1;
  cpu.s = 0;
  const std::vector<std::string> texts = Texts(cpu);
  EXPECT_EQ(texts[17], "SR:851f");
  EXPECT_EQ(texts[18], "T:1 S:0 Mask:5");
  EXPECT_EQ(texts[19], "C:1 V:1 Z:1 N:1 X:1");
  EXPECT_EQ(texts[20], "USP:00000009");  // A7 is the user stack now
  EXPECT_EQ(texts[21], "SSP:00001234");
  // The rows that show a register name it; the flag lines do not.
  const std::vector<RegisterRow> rows = RegisterRows(cpu);
  EXPECT_EQ(rows[0].id, RegisterId::D0);
  EXPECT_EQ(rows[15].id, RegisterId::A7);
  EXPECT_EQ(rows[17].id, RegisterId::Sr);
  EXPECT_EQ(rows[18].id, std::nullopt);
  EXPECT_EQ(rows[21].id, RegisterId::Ssp);
}

TEST(DebugText, RegisterEdits) {
  CpuState cpu{};
  cpu.s = 1;
  cpu.regs[15] = 0x3F000;  // SSP
  cpu.otherSp = 0x20000;   // USP
  SetRegister(cpu, RegisterId::D0, 0x12345678);
  SetRegister(cpu, static_cast<RegisterId>(12), 0xABCD);  // A4
  SetRegister(cpu, RegisterId::Pc, 0x401234);
  EXPECT_EQ(cpu.d(0), 0x12345678u);
  EXPECT_EQ(cpu.a(4), 0xABCDu);
  EXPECT_EQ(cpu.pc, 0x401234u);

  SetRegister(cpu, RegisterId::Usp, 0x21000);
  EXPECT_EQ(cpu.otherSp, 0x21000u);
  // Leaving supervisor state through SR puts the user stack in A7.
  SetRegister(cpu, RegisterId::Sr, 0xFFFF & ~0x2000u);
  EXPECT_EQ(cpu.s, 0);
  EXPECT_EQ(cpu.t, 1);
  EXPECT_EQ(cpu.intMask, 7);
  EXPECT_EQ(cpu.FlagC() + cpu.FlagV() + cpu.FlagZ() + cpu.FlagN() + cpu.FlagX(), 5u);
  EXPECT_EQ(cpu.a(7), 0x21000u);
  EXPECT_EQ(RegisterValue(cpu, RegisterId::Ssp), 0x3F000u);
  EXPECT_EQ(RegisterValue(cpu, RegisterId::Sr), 0x871Fu);  // only the 68000's bits
  SetRegister(cpu, RegisterId::Ssp, 0x3E000);
  SetRegister(cpu, RegisterId::Sr, 0x2700);
  EXPECT_EQ(cpu.a(7), 0x3E000u);
  EXPECT_EQ(cpu.otherSp, 0x21000u);
  EXPECT_EQ(RegisterDigits(RegisterId::Sr), 4);
  EXPECT_EQ(RegisterDigits(RegisterId::A7), 8);
}

// The dialog and gdb write SR through the same door: after STOP turned the
// trace on, a T written by hand traces the very next instruction.
TEST(DebugText, TraceWrittenBetweenInstructionsTracesTheNextOne) {
  test::FlatFixture f;
  f.Load({0x4E72, 0xA700, 0x4E71, 0x4E71});  // stop #$a700; nop; nop
  ASSERT_EQ(RunInstructions(f.m, 1, nullptr), RunResult::Asleep);
  ASSERT_EQ(f.m.cpu.t, 1);
  SetRegister(f.m.cpu, RegisterId::Sr, 0xA700);
  EXPECT_EQ(RegisterValue(f.m.cpu, RegisterId::Sr), ReadSystemRegister(f.m.cpu, SystemRegister::Sr));
  RunInstructions(f.m, 1, nullptr);
  EXPECT_EQ(f.VectorTaken(), static_cast<int>(kVectorTrace));
}

TEST(DebugText, MemoryLine) {
  std::array<std::uint8_t, kMemoryLineBytes> bytes{};
  const char text[] = "Hi!\x7f\x1f~ PELLUX";
  for (std::size_t i = 0; i < sizeof text - 1; ++i) bytes[i] = static_cast<std::uint8_t>(text[i]);
  bytes[15] = 0xFF;
  EXPECT_EQ(MemoryLine(0x1401230, bytes),
            "401230: 48 69 21 7f 1f 7e 20 50  45 4c 4c 55 58 00 00 ff  Hi!..~ PELLUX...");
}

TEST(DebugText, AddressEntry) {
  const SymbolTable symbols({{"main", 0x400044, 0}, {"draw_text", 0x400800, 0}});
  const SymbolTable none;
  struct Case {
    const char* text;
    const SymbolTable& table;
    std::optional<std::uint32_t> address;
    const char* error;
  };
  const Case cases[] = {
      {"1234", symbols, 0x1234, ""},
      {" 00401234 ", symbols, 0x401234, ""},
      {"0x1234", symbols, 0x1234, ""},
      {"$ABcd", symbols, 0xABCD, ""},
      {"FFFFFFFF", symbols, 0xFFFFFFFF, ""},
      {"main", symbols, 0x400044, ""},
      {"draw_text+1a", symbols, 0x40081A, ""},
      {"main + 0x10", symbols, 0x400054, ""},
      {"12zz", symbols, std::nullopt, "\"12zz\" is neither a hex address nor a known symbol."},
      {"xyz", symbols, std::nullopt, "\"xyz\" is neither a hex address nor a known symbol."},
      {"123456789", symbols, std::nullopt, "\"123456789\" is neither a hex address nor a known symbol."},
      {"main+zz", symbols, std::nullopt, "\"main+zz\": the offset after + is not hex."},
      {"", symbols, std::nullopt, "Type a hex address or a symbol's name."},
      {"main", none, std::nullopt, "\"main\" is not a hex address (no symbols are loaded)."},
  };
  for (const Case& c : cases) {
    const AddressEntry entry = ParseAddressEntry(c.text, c.table);
    EXPECT_EQ(entry.ok() ? std::optional(*entry) : std::nullopt, c.address) << c.text;
    EXPECT_EQ(entry.message(), c.error) << c.text;
  }
  EXPECT_EQ(ParseTypedHex("12 34"), std::nullopt);
  EXPECT_EQ(ParseTypedHex("0x"), std::nullopt);
}

TEST(DebugText, BreakpointLine) {
  EXPECT_EQ(BreakpointLine(0x1234), "00001234");
  EXPECT_EQ(BreakpointLine(0xFFFFFFFF), "ffffffff");
}

}  // namespace
}  // namespace pellux
