// Reset, dispatch and the run loop: budgets, breakpoints, faults and trace.
#include <gtest/gtest.h>

#include "cpu/core.h"
#include "cpu/exceptions.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::FlatFixture;
using test::PeekLong;
using test::PeekWord;

constexpr std::uint16_t kNop = 0x4E71;

TEST(RunLoop, ResetLoadsStackAndPcAndClearsTheRest) {
  FlatFixture f;
  f.m.cpu.d(3) = 99;
  f.m.cpu.intMask = 7;
  f.Load({kNop});
  EXPECT_EQ(f.m.cpu.a(7), FlatFixture::kStack);
  EXPECT_EQ(f.m.cpu.pc, FlatFixture::kCode);
  EXPECT_EQ(f.m.cpu.d(3), 0u);
  EXPECT_EQ(GetSR(f.m.cpu), 0x2000u);
}

TEST(RunLoop, RunsExactlyTheBudget) {
  FlatFixture f;
  f.Load({kNop, kNop, kNop, kNop});
  EXPECT_EQ(RunInstructions(f.m, 1, nullptr), RunResult::Completed);
  EXPECT_EQ(f.m.cpu.pc, FlatFixture::kCode + 2);
  EXPECT_EQ(RunInstructions(f.m, 3, nullptr), RunResult::Completed);
  EXPECT_EQ(f.m.cpu.pc, FlatFixture::kCode + 8);
  EXPECT_EQ(RunInstructions(f.m, 0, nullptr), RunResult::Completed);
  EXPECT_EQ(f.m.cpu.pc, FlatFixture::kCode + 8);
}

TEST(RunLoop, BreakpointStopsBeforeTheInstructionEveryTime) {
  FlatFixture f;
  f.Load({kNop, kNop, kNop});
  BreakpointSet breakpoints;
  breakpoints.Toggle(FlatFixture::kCode + 4);
  EXPECT_EQ(RunInstructions(f.m, 10, &breakpoints), RunResult::Breakpoint);
  EXPECT_EQ(f.m.cpu.pc, FlatFixture::kCode + 4);
  EXPECT_EQ(RunInstructions(f.m, 10, &breakpoints), RunResult::Breakpoint);
  EXPECT_EQ(f.m.cpu.pc, FlatFixture::kCode + 4);
  EXPECT_EQ(RunInstructions(f.m, 1, nullptr), RunResult::Completed) << "stepping without the set goes past it";
  EXPECT_EQ(f.m.cpu.pc, FlatFixture::kCode + 6);
}

// The counter behind the tools' statistics: every executed instruction, the
// one that ends a run included; nothing for a breakpoint met before one.
TEST(RunLoop, CountsTheInstructionsItExecutes) {
  FlatFixture f;
  f.Load({kNop, kNop, kNop, 0xA000});
  EXPECT_EQ(f.m.cpu.instructionCount, 0u);
  RunInstructions(f.m, 2, nullptr);
  EXPECT_EQ(f.m.cpu.instructionCount, 2u);
  BreakpointSet breakpoints;
  breakpoints.Toggle(FlatFixture::kCode + 4);
  EXPECT_EQ(RunInstructions(f.m, 5, &breakpoints), RunResult::Breakpoint);
  EXPECT_EQ(f.m.cpu.instructionCount, 2u);
  RunInstructions(f.m, 2, nullptr);  // a NOP, then the line-A opcode that faults
  EXPECT_EQ(f.m.cpu.instructionCount, 4u);
  f.Load({kNop, 0x4E72, 0x2700, kNop});  // STOP ends the run and counts
  EXPECT_EQ(f.m.cpu.instructionCount, 0u) << "reset clears it";
  EXPECT_EQ(RunInstructions(f.m, 10, nullptr), RunResult::Asleep);
  EXPECT_EQ(f.m.cpu.instructionCount, 2u);
}

// Opcodes that must enter a vector at their own address.
TEST(RunLoop, UnassignedOpcodesStackTheirOwnAddress) {
  struct Case {
    std::uint16_t opcode;
    int vector;
  };
  const Case cases[] = {
      {0xA000, kVectorLineA}, {0xAFFF, kVectorLineA}, {0xF000, kVectorLineF},
      {0xFFFF, kVectorLineF}, {0x4AFC, kVectorIllegal}, {0x7100, kVectorIllegal},
      {0x7FFF, kVectorIllegal}, {0x1040, kVectorIllegal},
  };
  for (const Case& c : cases) {
    FlatFixture f;
    f.Load({c.opcode, 0x0000, 0x0000});
    EXPECT_EQ(RunInstructions(f.m, 1, nullptr), RunResult::Completed);
    EXPECT_EQ(f.VectorTaken(), c.vector) << std::hex << c.opcode;
    EXPECT_EQ(PeekLong(f.m, f.m.cpu.a(7) + 2), FlatFixture::kCode) << std::hex << c.opcode;
    EXPECT_EQ(f.m.cpu.runState, RunState::Running);
  }
}

TEST(RunLoop, TraceFollowsEveryInstructionButTheOneThatSetIt) {
  FlatFixture f;
  f.Load({kNop, kNop});
  f.m.cpu.t = 1;
  f.m.cpu.traceJustSet = 1;
  RunInstructions(f.m, 1, nullptr);
  EXPECT_EQ(f.m.cpu.pc, FlatFixture::kCode + 2) << "traced the instruction that set T";
  EXPECT_EQ(f.m.cpu.traceJustSet, 0);
  RunInstructions(f.m, 1, nullptr);
  EXPECT_EQ(f.VectorTaken(), kVectorTrace);
  EXPECT_EQ(PeekLong(f.m, f.m.cpu.a(7) + 2), FlatFixture::kCode + 4);
  EXPECT_EQ(PeekWord(f.m, f.m.cpu.a(7)), 0xA000u);
  EXPECT_EQ(f.m.cpu.t, 0) << "the trace handler runs untraced";
}

TEST(RunLoop, IllegalInstructionIsNotTraced) {
  FlatFixture f;
  f.Load({0x4AFC});
  f.m.cpu.t = 1;
  RunInstructions(f.m, 1, nullptr);
  EXPECT_EQ(f.VectorTaken(), kVectorIllegal);
}

TEST(RunLoop, OddProgramCounterFaultsOnTheOpcodeFetch) {
  FlatFixture f;
  f.Load({kNop});
  f.m.cpu.pc = FlatFixture::kCode + 1;
  RunInstructions(f.m, 1, nullptr);
  EXPECT_EQ(f.VectorTaken(), kVectorAddressError);
  EXPECT_EQ(f.m.cpu.runState, RunState::Running);
}

}  // namespace
}  // namespace pellux
