// The status register, exception entry and interrupts.
#include <gtest/gtest.h>

#include "cpu/exceptions.h"
#include "cpu/flat_machine.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::FlatFixture;
using test::PeekLong;
using test::PeekWord;

class Exceptions : public ::testing::Test {
 protected:
  Exceptions() { f.Load({0x4E71}); }
  FlatFixture f;
  CpuState& cpu = f.m.cpu;
};

TEST_F(Exceptions, StatusRegisterPacking) {
  EXPECT_EQ(GetSR(CpuState{}), 0u) << "a blank processor has every flag clear";
  EXPECT_EQ(GetSR(cpu), 0x2000u);
  cpu.SetFlagC(true);
  cpu.SetFlagV(true);
  cpu.SetFlagZ(true);
  cpu.SetFlagN(true);
  cpu.SetFlagX(true);
  cpu.intMask = 5;
  EXPECT_EQ(GetSR(cpu), 0x251Fu);
  cpu.t = 1;
  EXPECT_EQ(GetSR(cpu), 0xA51Fu);
  SetSR(f.m, 0x2713);  // bits outside the register are dropped
  EXPECT_EQ(GetSR(cpu), 0x2713u);
  SetSR(f.m, 0xFFFF);
  EXPECT_EQ(GetSR(cpu), 0xA71Fu);
}

TEST_F(Exceptions, ClearingSupervisorSwitchesStacksAndAcceptsAPendingLevel) {
  cpu.intMask = 7;
  cpu.otherSp = 0x6000;  // USP
  RequestInterrupt(f.m, 1);
  ASSERT_EQ(cpu.pendingInts, 0x02);
  SetSR(f.m, 0x0000);
  // Level 1 is taken at once from user state: back on the supervisor stack.
  EXPECT_EQ(cpu.s, 1);
  EXPECT_EQ(cpu.otherSp, 0x6000u);
  EXPECT_EQ(cpu.a(7), FlatFixture::kStack - 6);
  EXPECT_EQ(PeekWord(f.m, cpu.a(7)), 0x0000u) << "the stacked SR is the user-state SR";
  EXPECT_EQ(cpu.intMask, 1);
  EXPECT_EQ(cpu.pendingInts, 0);
  EXPECT_EQ(f.VectorTaken(), 25);
}

TEST_F(Exceptions, MaskedLevelWaitsForSetSR) {
  cpu.intMask = 5;
  RequestInterrupt(f.m, 3);
  EXPECT_EQ(cpu.pendingInts, 1 << 3);
  EXPECT_EQ(f.VectorTaken(), -1);
  SetSR(f.m, 0x2200);
  EXPECT_EQ(f.VectorTaken(), 27);
  EXPECT_EQ(cpu.intMask, 3);
  EXPECT_EQ(PeekWord(f.m, cpu.a(7)), 0x2200u);
}

TEST_F(Exceptions, OneLevelPerSetSRHighestFirst) {
  cpu.intMask = 7;
  RequestInterrupt(f.m, 2);
  RequestInterrupt(f.m, 5);
  RequestInterrupt(f.m, 7);  // level 7 is masked by 7 like any other
  EXPECT_EQ(cpu.pendingInts, (1 << 2) | (1 << 5) | (1 << 7));
  cpu.pendingInts &= ~(1 << 7);
  SetSR(f.m, 0x2000);
  EXPECT_EQ(f.VectorTaken(), 29);
  EXPECT_EQ(cpu.intMask, 5);
  EXPECT_EQ(cpu.pendingInts, 1 << 2);
  SetSR(f.m, 0x2000);  // what the handler's RTE does
  EXPECT_EQ(f.VectorTaken(), 26);
  EXPECT_EQ(cpu.pendingInts, 0);
}

TEST_F(Exceptions, InterruptAboveTheMaskIsTakenAtOnce) {
  const std::uint32_t pc = cpu.pc;
  cpu.intMask = 2;
  RequestInterrupt(f.m, 6);
  EXPECT_EQ(f.VectorTaken(), 30);
  EXPECT_EQ(cpu.intMask, 6);
  EXPECT_EQ(PeekLong(f.m, cpu.a(7) + 2), pc);
  EXPECT_EQ(PeekWord(f.m, cpu.a(7)), 0x2200u);
}

TEST_F(Exceptions, EntryFromUserStateWithTraceOn) {
  cpu.otherSp = 0x7000;  // the USP
  SetSR(f.m, 0x8000);    // user state, trace on
  ASSERT_EQ(cpu.a(7), 0x7000u);
  ASSERT_EQ(cpu.otherSp, FlatFixture::kStack);
  cpu.pc = 0x2468;
  RaiseException(f.m, kVectorTrapBase + 15);
  EXPECT_EQ(cpu.s, 1);
  EXPECT_EQ(cpu.t, 0);
  EXPECT_EQ(cpu.traceJustSet, 0);
  EXPECT_EQ(cpu.otherSp, 0x7000u);
  EXPECT_EQ(cpu.a(7), FlatFixture::kStack - 6);
  EXPECT_EQ(PeekWord(f.m, FlatFixture::kStack - 6), 0x8000u);
  EXPECT_EQ(PeekLong(f.m, FlatFixture::kStack - 4), 0x2468u);
  EXPECT_EQ(f.VectorTaken(), 47);
}

TEST_F(Exceptions, OddStackPointerFaultsTheFrameWrites) {
  cpu.a(7) = 0x7001;
  RaiseException(f.m, kVectorTrapBase);
  EXPECT_EQ(cpu.runState, RunState::AddressFault);
  EXPECT_EQ(f.VectorTaken(), 32) << "the vector is still loaded";
  EXPECT_EQ(cpu.a(7), 0x7001u - 6);
}

}  // namespace
}  // namespace pellux
