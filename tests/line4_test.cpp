// Line 4 where the MC68000 vectors cannot reach: flags the vectors mask
// (CHK, NBCD), this core's UNLK A7, MOVEM's register order, and the
// instructions that load SR letting a pending interrupt in.
#include <gtest/gtest.h>

#include "cpu/core.h"
#include "cpu/exceptions.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::FlatFixture;
using test::PeekLong;
using test::PeekWord;
using test::Poke;
using test::PokeLong;
constexpr std::uint32_t kCode = FlatFixture::kCode;
constexpr std::uint32_t kStack = FlatFixture::kStack;

TEST(Line4, ChkSetsOnlyNAndOnlyWhenItTraps) {
  struct Case {
    std::uint16_t bound, d1;
    bool traps;
    std::uint8_t n;
  };
  const Case cases[] = {
      {100, 101, true, 0},  {100, 0xFFFF, true, 1}, {100, 100, false, 1},
      {100, 0, false, 0},   {0xFFFF, 0, true, 0},   {0xFFFF, 0xFFFF, true, 1},
  };
  for (const Case& c : cases) {
    FlatFixture f;
    f.Load({0x43BC, c.bound});  // CHK.W #bound,D1
    f.m.cpu.d(1) = 0xABCD0000 | c.d1;
    f.m.cpu.SetFlagZ(true);
    f.m.cpu.SetFlagV(true);
    f.m.cpu.SetFlagC(true);
    // A trap must set N itself; no trap must leave it.
    f.m.cpu.SetFlagN(c.traps ? !c.n : c.n);
    RunInstructions(f.m, 1, nullptr);
    const std::string what = std::to_string(c.d1) + " against " + std::to_string(c.bound);
    EXPECT_EQ(f.VectorTaken(), c.traps ? int{kVectorChk} : -1) << what;
    EXPECT_EQ(f.m.cpu.FlagN(), c.n) << what;
    EXPECT_EQ(f.m.cpu.FlagZ() + f.m.cpu.FlagV() + f.m.cpu.FlagC(), 3u) << what << ": Z, V, C never change";
    if (c.traps) {
      EXPECT_EQ(PeekLong(f.m, f.m.cpu.a(7) + 2), kCode + 4) << what;
      EXPECT_EQ(PeekWord(f.m, f.m.cpu.a(7)) & 0x0F, 0x07u | c.n << 3) << what;
    }
  }
}

TEST(Line4, NbcdChangesNeitherNNorV) {
  struct Case {
    std::uint8_t operand, x;
    std::uint8_t result, carry, z;
  };
  const Case cases[] = {{0x01, 0, 0x99, 1, 0}, {0x00, 0, 0x00, 0, 1}, {0x00, 1, 0x99, 1, 0}, {0x45, 1, 0x54, 1, 0}};
  for (const Case& c : cases) {
    FlatFixture f;
    f.Load({0x4800});  // NBCD D0
    f.m.cpu.d(0) = 0x12345600 | c.operand;
    f.m.cpu.SetFlagX(c.x);
    f.m.cpu.SetFlagZ(true);
    f.m.cpu.SetFlagN(true);
    f.m.cpu.SetFlagV(true);
    RunInstructions(f.m, 1, nullptr);
    EXPECT_EQ(f.m.cpu.d(0), 0x12345600u | c.result) << int{c.operand};
    EXPECT_EQ(f.m.cpu.FlagC(), c.carry);
    EXPECT_EQ(f.m.cpu.FlagX(), c.carry);
    EXPECT_EQ(f.m.cpu.FlagZ(), c.z);
    EXPECT_EQ(f.m.cpu.FlagN() + f.m.cpu.FlagV(), 2u);
  }
}

TEST(Line4, MovemPredecrementStoresTheListInReverseWithStartValues) {
  FlatFixture f;
  f.Load({0x48E7, 0xC002, 0x48E0, 0x8080});  // MOVEM.L D0-D1/A6,-(A7); MOVEM.L D0/A0,-(A0)
  f.m.cpu.d(0) = 0xD0D0D0D0;
  f.m.cpu.d(1) = 0xD1D1D1D1;
  f.m.cpu.a(6) = 0xA6A6A6A6;
  f.m.cpu.a(0) = 0x6000;
  RunInstructions(f.m, 2, nullptr);
  EXPECT_EQ(f.m.cpu.a(7), kStack - 12);
  EXPECT_EQ(PeekLong(f.m, kStack - 4), 0xA6A6A6A6u);
  EXPECT_EQ(PeekLong(f.m, kStack - 8), 0xD1D1D1D1u);
  EXPECT_EQ(PeekLong(f.m, kStack - 12), 0xD0D0D0D0u);
  EXPECT_EQ(f.m.cpu.a(0), 0x6000u - 8);
  EXPECT_EQ(PeekLong(f.m, 0x6000 - 4), 0x6000u) << "A0 goes out with the value it had at the start";
  EXPECT_EQ(PeekLong(f.m, 0x6000 - 8), 0xD0D0D0D0u);
}

TEST(Line4, MovemPostincrementLoadsWordsSignExtendedAndPassesTheBase) {
  FlatFixture f;
  f.Load({0x4C98, 0x0201, 0x4CD8, 0x0100});  // MOVEM.W (A0)+,D0/A1; MOVEM.L (A0)+,A0
  f.m.cpu.a(0) = 0x6000;
  Poke(f.m, 0x6000, {0x8000, 0x0001, 0x1234, 0x5678});
  RunInstructions(f.m, 1, nullptr);
  EXPECT_EQ(f.m.cpu.d(0), 0xFFFF8000u);
  EXPECT_EQ(f.m.cpu.a(1), 1u);
  EXPECT_EQ(f.m.cpu.a(0), 0x6004u);
  RunInstructions(f.m, 1, nullptr);
  EXPECT_EQ(f.m.cpu.a(0), 0x6008u) << "the step wins over the loaded value";
}

TEST(Line4, LinkAndUnlinkAFrame) {
  FlatFixture f;
  f.Load({0x4E56, 0xFFF8, 0x4E5E});  // LINK A6,#-8; UNLK A6
  f.m.cpu.a(7) = 0x4000;
  f.m.cpu.a(6) = 0x1234;
  RunInstructions(f.m, 1, nullptr);
  EXPECT_EQ(PeekLong(f.m, 0x3FFC), 0x1234u);
  EXPECT_EQ(f.m.cpu.a(6), 0x3FFCu);
  EXPECT_EQ(f.m.cpu.a(7), 0x3FF4u);
  RunInstructions(f.m, 1, nullptr);
  EXPECT_EQ(f.m.cpu.a(6), 0x1234u);
  EXPECT_EQ(f.m.cpu.a(7), 0x4000u);
}

TEST(Line4, UnlinkA7EndsFourAboveWhereItWas) {
  FlatFixture f;
  f.Load({0x4E5F});
  f.m.cpu.a(7) = 0x4000;
  PokeLong(f.m, 0x4000, 0x00123456);
  RunInstructions(f.m, 1, nullptr);
  EXPECT_EQ(f.m.cpu.a(7), 0x4004u);
}

TEST(Line4, RtrTakesOnlyTheConditionFlags) {
  FlatFixture f;
  f.Load({0x4E77});
  f.m.cpu.a(7) = 0x4000;
  Poke(f.m, 0x4000, {0xFFFF});
  PokeLong(f.m, 0x4002, 0x5000);
  RunInstructions(f.m, 1, nullptr);
  EXPECT_EQ(GetSR(f.m.cpu), 0x201Fu);
  EXPECT_EQ(f.m.cpu.pc, 0x5000u);
  EXPECT_EQ(f.m.cpu.a(7), 0x4006u);
}

TEST(Line4, RteToUserStateKeepsThePoppedSupervisorStack) {
  FlatFixture f;
  f.Load({0x4E73});
  f.m.cpu.otherSp = 0x7000;
  Poke(f.m, kStack, {0x0015});
  PokeLong(f.m, kStack + 2, 0x5000);
  RunInstructions(f.m, 1, nullptr);
  EXPECT_EQ(GetSR(f.m.cpu), 0x0015u);
  EXPECT_EQ(f.m.cpu.pc, 0x5000u);
  EXPECT_EQ(f.m.cpu.a(7), 0x7000u);
  EXPECT_EQ(f.m.cpu.otherSp, kStack + 6);
}

TEST(Line4, StopEndsTheRunPastItsImmediate) {
  FlatFixture f;
  f.Load({0x4E72, 0x2700, 0x4E71});
  EXPECT_EQ(RunInstructions(f.m, 10, nullptr), RunResult::Asleep);
  EXPECT_EQ(f.m.cpu.pc, kCode + 4);
  EXPECT_EQ(GetSR(f.m.cpu), 0x2700u);
  EXPECT_EQ(f.m.cpu.runState, RunState::Running);
}

// Every instruction that loads SR accepts a pending level the new mask lets
// through, inside the instruction: the frame returns to where it would have
// gone on, and a STOP no longer stops.
TEST(Line4, LoadingSrTakesAPendingInterruptAtOnce) {
  struct Case {
    const char* what;
    std::initializer_list<std::uint16_t> code;
    std::uint32_t returnsTo;
  };
  const Case cases[] = {
      {"MOVE #0x2000,SR", {0x46FC, 0x2000}, kCode + 4},
      {"ANDI #0xF8FF,SR", {0x027C, 0xF8FF}, kCode + 4},
      {"EORI #0x0700,SR", {0x0A7C, 0x0700}, kCode + 4},
      {"STOP #0x2000", {0x4E72, 0x2000}, kCode + 4},
      {"RTE to SR 0x2000", {0x4E73}, 0x5000},
  };
  for (const Case& c : cases) {
    FlatFixture f;
    f.Load(c.code);
    Poke(f.m, kStack, {0x2000});
    PokeLong(f.m, kStack + 2, 0x5000);
    f.m.cpu.intMask = 7;
    RequestInterrupt(f.m, 3);
    EXPECT_EQ(RunInstructions(f.m, 1, nullptr), RunResult::Completed) << c.what;
    EXPECT_EQ(f.VectorTaken(), kVectorAutoBase + 3) << c.what;
    EXPECT_EQ(f.m.cpu.intMask, 3) << c.what;
    EXPECT_EQ(f.m.cpu.pendingInts, 0) << c.what;
    EXPECT_EQ(PeekWord(f.m, f.m.cpu.a(7)), 0x2000u) << c.what;
    EXPECT_EQ(PeekLong(f.m, f.m.cpu.a(7) + 2), c.returnsTo) << c.what;
  }
}

}  // namespace
}  // namespace pellux
