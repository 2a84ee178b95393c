// The debugger's register lines and the breakpoint address entry.
#include <gtest/gtest.h>

#include "debugger/debug_text.h"

namespace pellux {
namespace {

TEST(DebugText, RegisterLines) {
  CpuState cpu{};
  for (unsigned i = 0; i < 16; ++i) cpu.regs[i] = 0x11111111u * i + 0xA;
  cpu.pc = 0xDEADBEEF;
  cpu.c = 1;
  cpu.z = 1;
  cpu.x = 1;
  const std::vector<std::string> lines = RegisterLines(cpu);
  ASSERT_EQ(lines.size(), 18u);
  EXPECT_EQ(lines[0], "D0:0000000a");
  EXPECT_EQ(lines[7], "D7:77777781");
  EXPECT_EQ(lines[8], "A0:88888892");
  EXPECT_EQ(lines[15], "A7:00000009");
  EXPECT_EQ(lines[16], "PC:deadbeef");
  EXPECT_EQ(lines[17], "C:1 V:0 Z:1 N:0 X:1");
  cpu.v = cpu.n = 1;
  EXPECT_EQ(RegisterLines(cpu)[17], "C:1 V:1 Z:1 N:1 X:1");
}

TEST(DebugText, ParseHexAddress) {
  struct Case {
    const char* text;
    std::uint32_t value;
  };
  const Case cases[] = {
      {"1234", 0x1234},         {"0x1234", 0},          {"", 0},
      {" 1234", 0},             {"12g4", 0x12},         {"AbCdEf", 0xABCDEF},
      {"abcdef", 0xABCDEF},     {"FFFFFFFF", 0xFFFFFFFF}, {"123456789", 0x12345678},
      {"00401234", 0x401234},   {"0", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseHexAddress(c.text), c.value) << '"' << c.text << '"';
}

TEST(DebugText, BreakpointLine) {
  EXPECT_EQ(BreakpointLine(0x1234), "00001234");
  EXPECT_EQ(BreakpointLine(0xFFFFFFFF), "ffffffff");
}

}  // namespace
}  // namespace pellux
