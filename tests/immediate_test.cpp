// Line 0 where the MC68000 vectors cannot reach: CMPI on PC-relative
// operands, SR immediates that switch stacks, an immediate fetched from an
// odd PC, bit numbers past the operand width.
#include <gtest/gtest.h>

#include "cpu/core.h"
#include "cpu/exceptions.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::FlatFixture;
using test::PeekLong;
using test::PeekWord;
constexpr std::uint32_t kCode = FlatFixture::kCode;

TEST(Immediate, CmpiReadsPcRelativeOperandsAfterTheImmediate) {
  // CMPI.W #5,(6,PC): the base is the displacement word at kCode + 4.
  FlatFixture f;
  f.Load({0x0C7A, 0x0005, 0x0006, 0x4E71, 0x4E71, 0x0005});
  f.m.cpu.SetFlagX(true);
  RunInstructions(f.m, 1, nullptr);
  EXPECT_EQ(f.m.cpu.pc, kCode + 6);
  EXPECT_EQ(f.m.cpu.FlagZ(), 1u);
  EXPECT_EQ(f.m.cpu.FlagX(), 1u) << "CMPI leaves X";

  // CMPI.B #1,(2,PC,D0.W) with D0 = 2: byte at kCode + 4 + 2 + 2 = 0x00, so 0 - 1 borrows.
  f.Load({0x0C3B, 0x0001, 0x0002, 0x4E71, 0x0000});
  f.m.cpu.d(0) = 2;
  RunInstructions(f.m, 1, nullptr);
  EXPECT_EQ(GetSR(f.m.cpu) & 0x1F, 0x09u) << "N and C";
}

TEST(Immediate, AndiToSrLeavingSupervisorSwitchesToTheUserStack) {
  FlatFixture f;
  f.Load({0x027C, 0xDFFF});
  f.m.cpu.otherSp = 0x6000;
  RunInstructions(f.m, 1, nullptr);
  EXPECT_EQ(f.m.cpu.s, 0);
  EXPECT_EQ(f.m.cpu.a(7), 0x6000u);
  EXPECT_EQ(f.m.cpu.otherSp, FlatFixture::kStack);
}

TEST(Immediate, EorToSrInUserStateStacksTheOpcodeAfterFetchingTheImmediate) {
  FlatFixture f;
  f.Load({0x0A7C, 0x2000});
  SetSR(f.m, 0x0000);
  f.m.cpu.pc = kCode;
  RunInstructions(f.m, 1, nullptr);
  EXPECT_EQ(f.VectorTaken(), kVectorPrivilege);
  EXPECT_EQ(PeekLong(f.m, f.m.cpu.a(7) + 2), kCode);
  EXPECT_EQ(PeekWord(f.m, f.m.cpu.a(7)), 0x0000u);
}

TEST(Immediate, OpcodeAndImmediateFetchedFromAnOddPcBothYieldOne) {
  // JMP to an odd address: the opcode read there faults and gives 0x0001,
  // ORI.B #imm,D1, whose immediate read faults too and gives 1.
  FlatFixture f;
  f.Load({0x4EF8, 0x3001});  // JMP (0x3001).W
  f.m.cpu.d(1) = 0x12345600;
  SetCCR(f.m.cpu, 0x17);
  RunInstructions(f.m, 2, nullptr);
  EXPECT_EQ(f.m.cpu.d(1), 0x12345601u);
  EXPECT_EQ(f.VectorTaken(), kVectorAddressError);
  EXPECT_EQ(PeekWord(f.m, f.m.cpu.a(7)) & 0x1F, 0x10u) << "X kept, N Z V C from the byte";
  EXPECT_EQ(PeekLong(f.m, f.m.cpu.a(7) + 2), 0x3005u);
}

TEST(Immediate, BitNumbersWrapAtTheOperandWidth) {
  struct Case {
    const char* what;
    std::initializer_list<std::uint16_t> code;
    std::uint32_t d0, d1;
    std::uint32_t d0After;
    std::uint8_t z;
  };
  const Case cases[] = {
      {"BTST #33,D0 tests bit 1", {0x0800, 33}, 0x2, 0, 0x2, 0},
      {"BCHG D1,D0 with 35 inverts bit 3", {0x0340}, 0x0, 35, 0x8, 1},
      {"BTST D1,#0x12 tests bit 9 mod 8 of the byte", {0x033C, 0x0012}, 0, 9, 0, 0},
      {"BCLR #31,D0 acts on the whole register", {0x0880, 31}, 0x80000001, 0, 0x00000001, 0},
  };
  for (const Case& c : cases) {
    FlatFixture f;
    f.Load(c.code);
    f.m.cpu.d(0) = c.d0;
    f.m.cpu.d(1) = c.d1;
    RunInstructions(f.m, 1, nullptr);
    EXPECT_EQ(f.m.cpu.d(0), c.d0After) << c.what;
    EXPECT_EQ(f.m.cpu.FlagZ(), c.z) << c.what;
  }
}

}  // namespace
}  // namespace pellux
