// The stepping commands on a flat machine: over calls (recursive ones
// included), out of routines, to an address, off a breakpoint, and the
// faults, sleeps and budgets that stop them, with the line that says why.
#include <gtest/gtest.h>

#include <vector>

#include "cpu/core.h"
#include "debugger/calculator_target.h"
#include "debugger/exception_recorder.h"
#include "debugger/stepping.h"
#include "debugger/symbols.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::FlatFixture;
using test::Poke;

class FlatTarget : public DebugTarget {
 public:
  explicit FlatTarget(FlatMachine& m) : m_(m) {}
  CpuState& cpu() override { return m_.cpu; }
  std::uint8_t Peek(std::uint32_t address) const override { return m_.memory[address & FlatMachine::kAddressMask]; }
  OneInstruction RunOne() override { return RunOneRecorded(m_); }
  BreakpointSet& breakpoints() override { return breakpoints_; }
  BreakpointSet breakpoints_;

 private:
  FlatMachine& m_;
};

constexpr std::uint32_t kMain = FlatFixture::kCode;  // 0x2000
constexpr std::uint32_t kAfterCall = 0x2004;
constexpr std::uint32_t kSub = 0x200C;
constexpr std::uint32_t kRecursiveCall = 0x2016;
constexpr std::uint32_t kSubReturn = 0x2018;

// main calls sub, which counts d1 up and calls itself until d1 reaches 3.
struct SteppingFixture : FlatFixture {
  SteppingFixture() {
    Load({
        0x6100, 0x000A,          // 2000 bsr.w   200c
        0x7001,                  // 2004 moveq   #1, d0
        0x4E71, 0x4E71, 0x4E71,  // 2006 nop x3
        0x5281,                  // 200c addq.l  #1, d1
        0x0C81, 0x0000, 0x0003,  // 200e cmpi.l  #3, d1
        0x6C02,                  // 2014 bge.s   2018
        0x61F4,                  // 2016 bsr.s   200c
        0x4E75,                  // 2018 rts
    });
  }
  // Runs to the address (without the commands under test).
  void RunToAddress(std::uint32_t address) {
    for (int i = 0; i < 100 && m.cpu.pc != address; ++i) RunInstructions(m, 1, nullptr);
    ASSERT_EQ(m.cpu.pc, address);
  }
  FlatTarget target{m};
};

TEST(Stepping, StepIntoEntersTheCallAndStepOverRunsIt) {
  SteppingFixture into;
  DebugStop reason = StepInto(into.target);
  EXPECT_EQ(reason.kind, StopReason::Step);
  EXPECT_EQ(into.m.cpu.pc, kSub);

  SteppingFixture over;
  const std::uint32_t stack = over.m.cpu.a(7);
  reason = StepOver(over.target);
  EXPECT_EQ(reason.kind, StopReason::StepOver);
  EXPECT_EQ(over.m.cpu.pc, kAfterCall);
  EXPECT_EQ(over.m.cpu.d(1), 3u);  // the whole recursion ran
  EXPECT_EQ(over.m.cpu.a(7), stack);
  EXPECT_EQ(reason.pc, kAfterCall);

  // Not a call: one instruction.
  reason = StepOver(over.target);
  EXPECT_EQ(reason.kind, StopReason::Step);
  EXPECT_EQ(over.m.cpu.pc, 0x2006u);
  EXPECT_EQ(over.m.cpu.d(0), 1u);
}

TEST(Stepping, StepOverARecursiveCallStopsAtItsOwnDepth) {
  SteppingFixture f;
  f.RunToAddress(kRecursiveCall);  // the first level, d1 = 1
  const std::uint32_t stack = f.m.cpu.a(7);
  // The deeper calls reach 2018 first, on a lower stack: they run on.
  const DebugStop reason = StepOver(f.target);
  EXPECT_EQ(reason.kind, StopReason::StepOver);
  EXPECT_EQ(f.m.cpu.pc, kSubReturn);
  EXPECT_EQ(f.m.cpu.a(7), stack);
  EXPECT_EQ(f.m.cpu.d(1), 3u);
}

TEST(Stepping, StepOverJsrAndTrap) {
  FlatFixture jsr;
  jsr.Load({0x4EB9, 0x0000, 0x2008, 0x4E71, 0x5281, 0x4E75});  // jsr 2008; nop; addq; rts
  FlatTarget jsrTarget(jsr.m);
  EXPECT_EQ(StepOver(jsrTarget).kind, StopReason::StepOver);
  EXPECT_EQ(jsr.m.cpu.pc, 0x2006u);
  EXPECT_EQ(jsr.m.cpu.d(1), 1u);

  FlatFixture trap;
  trap.Load({0x4E41, 0x4E71});                                 // trap #1; nop
  Poke(trap.m, FlatFixture::HandlerOf(33), {0x5281, 0x4E73});  // addq; rte
  FlatTarget trapTarget(trap.m);
  EXPECT_EQ(StepOver(trapTarget).kind, StopReason::StepOver);
  EXPECT_EQ(trap.m.cpu.pc, 0x2002u);
  EXPECT_EQ(trap.m.cpu.d(1), 1u);
}

TEST(Stepping, StepOutReturnsFromTheCurrentRoutine) {
  SteppingFixture f;
  f.RunToAddress(kSub);
  f.RunToAddress(0x2014);  // after the compare, before the recursive call
  DebugStop reason = StepOut(f.target);
  EXPECT_EQ(reason.kind, StopReason::StepOut);
  EXPECT_EQ(f.m.cpu.pc, kAfterCall);
  EXPECT_EQ(f.m.cpu.d(1), 3u);

  // Standing on the return itself: that return.
  SteppingFixture onReturn;
  onReturn.RunToAddress(kSubReturn);
  ASSERT_EQ(onReturn.m.cpu.d(1), 3u);  // the deepest level
  const std::uint32_t stack = onReturn.m.cpu.a(7);
  reason = StepOut(onReturn.target);
  EXPECT_EQ(reason.kind, StopReason::StepOut);
  EXPECT_EQ(onReturn.m.cpu.pc, kSubReturn);  // back in the level above
  EXPECT_EQ(onReturn.m.cpu.a(7), stack + 4);
  EXPECT_EQ(reason.instructions, 1u);
}

TEST(Stepping, RunToAndBreakpoints) {
  SteppingFixture f;
  DebugStop reason = RunTo(f.target, 0x2006);
  EXPECT_EQ(reason.kind, StopReason::Cursor);
  EXPECT_EQ(f.m.cpu.pc, 0x2006u);
  EXPECT_EQ(f.m.cpu.d(0), 1u);

  // A breakpoint on the way stops every command, but not where it starts.
  SteppingFixture g;
  g.target.breakpoints_.Toggle(kMain);
  g.target.breakpoints_.Toggle(kRecursiveCall);
  reason = StepOver(g.target);
  EXPECT_EQ(reason.kind, StopReason::Breakpoint);
  EXPECT_EQ(g.m.cpu.pc, kRecursiveCall);
  EXPECT_EQ(reason.instructions, 4u);  // bsr, addq, cmpi, bge

  // Go from a breakpoint runs its instruction first; elsewhere nothing runs.
  SteppingFixture h;
  EXPECT_FALSE(StepOffBreakpoint(h.target));
  EXPECT_EQ(h.m.cpu.pc, kMain);
  h.target.breakpoints_.Toggle(kMain);
  EXPECT_TRUE(StepOffBreakpoint(h.target));
  EXPECT_EQ(h.m.cpu.pc, kSub);
}

std::vector<std::uint32_t> Addresses(const BreakpointSet& set) { return {set.begin(), set.end()}; }

// Run to Cursor and Step Over stop at breakpoints of their own in the
// machine's set: on an address the user or gdb holds too they stop as
// themselves, and however they end, the set is left as they found it.
TEST(Stepping, TheCommandsOwnBreakpointsLeaveTheSetAsItWas) {
  SteppingFixture cursor;
  cursor.target.breakpoints_.Toggle(0x2006);
  EXPECT_EQ(RunTo(cursor.target, 0x2006).kind, StopReason::Cursor);
  EXPECT_EQ(Addresses(cursor.target.breakpoints_), std::vector<std::uint32_t>{0x2006});
  EXPECT_TRUE(cursor.target.breakpoints_.Contains(0x2006, BreakpointOwner::Dialog));
  EXPECT_FALSE(cursor.target.breakpoints_.Contains(0x2006, BreakpointOwner::RunToCursor));

  SteppingFixture over;
  over.target.breakpoints_.Add(kAfterCall, BreakpointOwner::Gdb);
  EXPECT_EQ(StepOver(over.target).kind, StopReason::StepOver);
  EXPECT_EQ(over.m.cpu.pc, kAfterCall);
  EXPECT_EQ(Addresses(over.target.breakpoints_), std::vector<std::uint32_t>{kAfterCall});
  EXPECT_FALSE(over.target.breakpoints_.Contains(kAfterCall, BreakpointOwner::StepOver));

  // Stopped short by a breakpoint, a fault or the budget: nothing of theirs stays.
  SteppingFixture stopped;
  stopped.target.breakpoints_.Toggle(kSub);
  EXPECT_EQ(StepOver(stopped.target).kind, StopReason::Breakpoint);
  EXPECT_EQ(RunTo(stopped.target, 0x2006, 2).kind, StopReason::Limit);
  EXPECT_EQ(Addresses(stopped.target.breakpoints_), std::vector<std::uint32_t>{kSub});
  FlatFixture fault;
  fault.Load({0x4E71, 0x4AFC});
  FlatTarget faultTarget(fault.m);
  EXPECT_EQ(RunTo(faultTarget, 0x3000).kind, StopReason::Exception);
  EXPECT_TRUE(faultTarget.breakpoints_.empty());
}

TEST(Stepping, FaultsSleepAndTheBudgetStopACommand) {
  struct Case {
    const char* what;
    std::initializer_list<std::uint16_t> code;
    bool user;  // run in user state
    StopReason kind;
    unsigned vector;
  };
  const Case cases[] = {
      {"illegal", {0x4E71, 0x4AFC}, false, StopReason::Exception, 4},
      {"divide by zero", {0x4E71, 0x81FC, 0x0000}, false, StopReason::Exception, 5},
      {"odd word read", {0x207C, 0x0000, 0x3001, 0x3010}, false, StopReason::Exception, 3},
      {"privileged in user state", {0x4E71, 0x4E72, 0x2700}, true, StopReason::Exception, 8},
      {"stop", {0x4E71, 0x4E72, 0x2700}, false, StopReason::Asleep, 0},
      {"endless loop", {0x60FE}, false, StopReason::Limit, 0},
  };
  for (const Case& c : cases) {
    FlatFixture f;
    f.Load(c.code);
    if (c.user) {
      f.m.cpu.s = 0;
      f.m.cpu.otherSp = FlatFixture::kStack + 0x1000;
    }
    FlatTarget target(f.m);
    const DebugStop reason = RunTo(target, 0x3000, 1000);
    EXPECT_EQ(reason.kind, c.kind) << c.what;
    if (c.kind == StopReason::Exception) {
      EXPECT_EQ(reason.vector, c.vector) << c.what;
      EXPECT_EQ(f.VectorTaken(), static_cast<int>(c.vector)) << c.what;
      EXPECT_EQ(reason.pc, f.m.cpu.pc) << c.what;
      EXPECT_GE(reason.faultAddress, FlatFixture::kCode) << c.what;
    }
    if (c.kind == StopReason::Limit) {
      EXPECT_EQ(reason.instructions, 1000u) << c.what;
    }
  }
  // A single step reports the fault it ran into as well.
  FlatFixture f;
  f.Load({0x4AFC});
  FlatTarget target(f.m);
  const DebugStop reason = StepInto(target);
  EXPECT_EQ(reason.kind, StopReason::Exception);
  EXPECT_EQ(reason.faultAddress, FlatFixture::kCode);
}

// On the calculator every vector of the test image enters one handler: the
// fault is the one the core raised, whatever the instruction looks like (a
// divide or a CHK reading an odd address takes an address error), and a TRAP
// into the same handler is no fault. A protected write is answered with level 7.
TEST(Stepping, OnTheCalculatorFaultsSharingAHandlerAreToldApart) {
  struct Case {
    const char* what;
    std::initializer_list<std::uint16_t> code;
    bool user;
    StopReason kind;
    unsigned vector;
  };
  const Case cases[] = {
      {"illegal", {0x4AFC}, false, StopReason::Exception, 4},
      {"line A", {0xA000}, false, StopReason::Step, 0},
      {"privileged", {0x4E72, 0x2700}, true, StopReason::Exception, 8},
      {"divide by zero", {0x81FC, 0x0000}, false, StopReason::Exception, 5},
      {"odd read", {0x3039, 0x0000, 0x3001}, false, StopReason::Exception, 3},
      {"divide reading an odd address", {0x80F9, 0x0000, 0x3001}, false, StopReason::Exception, 3},
      {"CHK reading an odd address", {0x41B9, 0x0000, 0x3001}, false, StopReason::Exception, 3},
      {"CHK out of bounds", {0x41BC, 0xFFFF}, false, StopReason::Exception, 6},
      {"trap", {0x4E45}, false, StopReason::Step, 0},
      {"protected write", {0x31C0, 0x0100}, false, StopReason::Step, 0},
  };
  constexpr std::uint32_t kCode = 0x3000;
  for (const Case& c : cases) {
    test::CalculatorFixture f(test::NopRom());
    Calculator& calc = *f.calc;
    std::uint32_t at = kCode;
    for (const std::uint16_t word : c.code) {
      calc.ram[at++] = static_cast<std::uint8_t>(word >> 8);
      calc.ram[at++] = static_cast<std::uint8_t>(word);
    }
    calc.ports[port::kProtection] |= 0x04;
    calc.cpu.pc = kCode;
    calc.cpu.intMask = 3;
    if (c.user) {
      calc.cpu.s = 0;
      std::swap(calc.cpu.regs[15], calc.cpu.otherSp);
      calc.cpu.regs[15] = 0x30000;
    }
    CalculatorTarget target(calc);
    const DebugStop reason = StepInto(target);
    EXPECT_EQ(reason.kind, c.kind) << c.what;
    EXPECT_EQ(reason.vector, c.vector) << c.what;
    if (c.kind == StopReason::Exception) {
      EXPECT_EQ(calc.cpu.pc, test::RomBuilder::kDefaultHandler) << c.what;
      EXPECT_EQ(reason.faultAddress, kCode) << c.what;
    }
  }
  // The protected write: dropped, and level 7 entered after it.
  test::CalculatorFixture f(test::NopRom());
  Calculator& calc = *f.calc;
  calc.ram[0x3000] = 0x31;
  calc.ram[0x3001] = 0xC0;
  calc.ram[0x3002] = 0x01;
  calc.ram[0x3003] = 0x00;
  calc.ports[port::kProtection] |= 0x04;
  calc.cpu.pc = 0x3000;
  calc.cpu.d(0) = 0xBEEF;
  CalculatorTarget target(calc);
  StepInto(target);
  EXPECT_EQ(calc.cpu.pc, test::LevelHandler(7));
  EXPECT_EQ(calc.ram[0x100], 0);
}

TEST(Stepping, TheStopLineNamesThePlace) {
  const SymbolTable symbols({{"main", kMain, 0xC}, {"sub", kSub, 0x10}});
  struct Case {
    DebugStop reason;
    const char* text;
  };
  const Case cases[] = {
      {{StopReason::Step, kSub, 0, 0, 1}, "Step: at 00200c (sub)"},
      {{StopReason::StepOver, kAfterCall, 0, 0, 9}, "Step Over: the call returned to 002004 (main+0x4) after 9 instructions"},
      {{StopReason::StepOut, 0x2100, 0, 0, 2}, "Step Out: returned to 002100 after 2 instructions"},
      {{StopReason::Cursor, 0x2006, 0, 0, 4}, "Run to Cursor: reached 002006 (main+0x6) after 4 instructions"},
      {{StopReason::Breakpoint, kSub, 0, 0, 0}, "Breakpoint at 00200c (sub)"},
      {{StopReason::Exception, 0x1010, kMain, 4, 1},
       "Illegal instruction at 002000 (main) (vector 4): now at its handler 001010"},
      {{StopReason::Asleep, 0x2004, 0, 0, 1}, "The processor sleeps at 002004 (main+0x4) until an interrupt; Go lets it run"},
      {{StopReason::Limit, 0x2000, 0, 0, 4000000}, "Still running after 4000000 instructions: stopped at 002000 (main)"},
      {{StopReason::KeyPress, kSub, 0, 0, 0}, "Key pressed (Break on keypress): at 00200c (sub)"},
      {{StopReason::UserBreak, 0x40000000, 0, 0, 0}, "Stopped at 000000"},
      {{StopReason::Gdb, kMain + 2, 0, 0, 0}, "Stopped by gdb at 002002 (main+0x2)"},
  };
  for (const Case& c : cases) EXPECT_EQ(DescribeStop(c.reason, symbols), c.text);
}

}  // namespace
}  // namespace pellux
