// Run slices paced to the manual clock, and the interrupt sources of the
// timer tick. The machine runs NOPs here; programs that sleep and wake are
// in sleep_test.cpp.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "cpu/big_endian.h"
#include "machine/driver.h"
#include "machine/memory_bus.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::CalculatorFixture;
using test::LevelHandler;
using test::NopRom;
using test::RomBuilder;
using test::StackedPc;

constexpr std::uint32_t kMain = RomBuilder::kDefaultPc;
constexpr std::int64_t kCountsPerTick = ManualClock::kDefaultFrequency / 1024;
constexpr std::int64_t kOneSecond = ManualClock::kDefaultFrequency;
constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();

constexpr unsigned Bit(unsigned level) { return 1u << level; }

void TimerControl(Calculator& m, std::uint8_t value) { PortWrite(m, 0x600015, value); }

// With the mask at 7 every request is latched; this takes the levels
// requested since the last call.
unsigned TakeRequests(Calculator& m) {
  const unsigned levels = m.cpu.pendingInts;
  m.cpu.pendingInts = 0;
  return levels;
}

class Timers : public ::testing::Test {
 protected:
  explicit Timers(std::int64_t frequency = ManualClock::kDefaultFrequency)
      : f_(NopRom(), frequency), m(*f_.calc), clock(f_.clock) {}
  CalculatorFixture f_;
  Calculator& m;
  ManualClock& clock;
};

TEST_F(Timers, WithBit0OfPort0x15ClearTicksDoNothing) {
  for (const std::uint8_t control : {0x00, 0x08, 0x9E}) {
    CalculatorFixture f(NopRom());
    Calculator& calc = *f.calc;
    calc.cpu.intMask = 7;
    calc.KeyDown(3);
    TakeRequests(calc);
    TimerControl(calc, control);
    PortWrite(calc, 0x600017, 0xFF);
    for (int tick = 1; tick <= 64; ++tick) {
      calc.ram[calc.lcdBase] = static_cast<std::uint8_t>(tick);  // the frame keeps changing
      EXPECT_EQ(calc.TimerTick(), 0) << tick;
    }
    EXPECT_EQ(calc.tickCount, 0u);
    EXPECT_EQ(TakeRequests(calc), 0u) << "no interrupt at all";
    EXPECT_EQ(calc.ports[port::kTimerCount], 0xFF) << "the programmable timer stands";
    EXPECT_EQ(calc.frameSerial, 0u) << "no display check";

    // A slice still charges the time; the tick it runs is not counted.
    f.clock.AdvanceTicks(1);
    EXPECT_EQ(calc.RunSlice(f.clock), StopReason::None);
    EXPECT_EQ(calc.lastCount, static_cast<std::uint64_t>(f.clock.counter));
    EXPECT_EQ(calc.tickCount, 0u);
  }
}

// Periodic interrupt every 4th tick, the programmable timer (written 0xFD:
// it wraps on the 3rd tick, then every 3rd), the keyboard on odd ticks.
TEST_F(Timers, EachSourceOnItsTicks) {
  m.cpu.intMask = 7;
  m.KeyDown(42);
  TakeRequests(m);
  TimerControl(m, 0x09);
  PortWrite(m, 0x600017, 0xFD);
  // clang-format off
  const unsigned expected[16] = {
      Bit(2), 0,      Bit(2) | Bit(5), Bit(1),           // ticks 1-4
      Bit(2), Bit(5), Bit(2),          Bit(1),           // 5-8
      Bit(2) | Bit(5), 0, Bit(2),      Bit(1) | Bit(5),  // 9-12
      Bit(2), 0,      Bit(2) | Bit(5), Bit(1),           // 13-16
  };
  // clang-format on
  for (unsigned tick = 1; tick <= 16; ++tick) {
    m.TimerTick();
    EXPECT_EQ(m.tickCount, tick);
    EXPECT_EQ(TakeRequests(m), expected[tick - 1]) << "tick " << tick;
  }
}

TEST(TimersProgrammable, LevelFiveAfter256MinusTheWrittenValue) {
  struct Case {
    std::uint8_t written;
    unsigned first, period;
  };
  const Case cases[] = {{0xB2, 78, 78}, {0xFF, 1, 1}, {0xFE, 2, 2}, {0x00, 256, 256}};
  for (const Case& c : cases) {
    CalculatorFixture f(NopRom());
    Calculator& m = *f.calc;
    m.cpu.intMask = 7;
    TimerControl(m, 0x09);
    for (int i = 0; i < 5; ++i) m.TimerTick();  // the write restarts the count
    TakeRequests(m);
    PortWrite(m, 0x600017, c.written);
    std::vector<unsigned> fired;
    for (unsigned tick = 1; tick <= c.first + 2 * c.period; ++tick) {
      m.TimerTick();
      if (TakeRequests(m) & Bit(5)) {
        fired.push_back(tick);
        EXPECT_EQ(m.ports[port::kTimerCount], c.written) << "reloaded";
      }
    }
    const std::vector<unsigned> expected = {c.first, c.first + c.period, c.first + 2 * c.period};
    EXPECT_EQ(fired, expected) << std::hex << unsigned{c.written};
  }

  // Without bit 3 the count stands.
  CalculatorFixture f(NopRom());
  Calculator& m = *f.calc;
  m.cpu.intMask = 7;
  TimerControl(m, 0x01);
  PortWrite(m, 0x600017, 0xFF);
  for (int tick = 0; tick < 300; ++tick) {
    m.TimerTick();
    ASSERT_FALSE(TakeRequests(m) & Bit(5));
  }
  EXPECT_EQ(m.ports[port::kTimerCount], 0xFF);
}

// TimerTick reports a wake-up for a source whose bit is in wakeMask, whether
// the interrupt was taken or only latched (here everything is latched).
TEST(TimersWake, OnlySourcesInTheWakeMaskWake) {
  struct Case {
    std::uint32_t wakeMask;
    std::vector<unsigned> wakingTicks;  // among ticks 1..9
  };
  const Case cases[] = {
      {0x3F, {1, 3, 4, 5, 6, 7, 8, 9}},
      {0x21, {4, 8}},           // periodic only
      {0x22, {1, 3, 5, 7, 9}},  // keyboard only
      {0x30, {3, 6, 9}},        // programmable timer only
      {0x20, {}},
  };
  for (const Case& c : cases) {
    CalculatorFixture f(NopRom());
    Calculator& m = *f.calc;
    m.cpu.intMask = 7;
    m.KeyDown(0);
    TimerControl(m, 0x09);
    PortWrite(m, 0x600017, 0xFD);
    m.wakeMask = c.wakeMask;
    std::vector<unsigned> woke;
    for (unsigned tick = 1; tick <= 9; ++tick) {
      if (m.TimerTick()) woke.push_back(tick);
    }
    EXPECT_EQ(woke, c.wakingTicks) << std::hex << c.wakeMask;
  }
}

// The display is checked on every 16th tick, before that tick's level-1
// interrupt: with the stack at the end of the LCD frame, the frame the check
// keeps is the one from before the interrupt pushed its own.
TEST(TimersDisplay, CheckedEvery16thTickBeforeTheInterrupt) {
  constexpr std::uint32_t kFrameEnd = 0x4C00 + kLcdFrameBytes;
  CalculatorFixture f(NopRom(kFrameEnd));
  Calculator& m = *f.calc;
  TimerControl(m, 0x01);
  for (unsigned tick = 1; tick <= 15; ++tick) m.TimerTick();
  ASSERT_EQ(m.cpu.pc, LevelHandler(1)) << "tick 4 entered the handler, stacking into the frame";
  EXPECT_EQ(StackedPc(m), kMain);
  EXPECT_EQ(m.frameSerial, 0u) << "ticks 4, 8 and 12 do not check the display";

  // As if the handler had returned: the next interrupt stacks over the first.
  m.cpu.intMask = 0;
  m.cpu.a(7) = kFrameEnd;
  m.TimerTick();
  EXPECT_EQ(m.frameSerial, 1u);
  EXPECT_EQ(StackedPc(m), LevelHandler(1)) << "tick 16 took the interrupt";
  EXPECT_EQ(LoadBe32(&m.lastFrame[kLcdFrameBytes - 4]), kMain) << "the frame shown predates it";

  for (unsigned tick = 17; tick <= 32; ++tick) m.TimerTick();
  EXPECT_EQ(m.frameSerial, 2u);
}

TEST_F(Timers, SliceChargesOneTickAtMost) {
  TimerControl(m, 0x01);
  struct Step {
    const char* what;
    std::int64_t advance;
    unsigned ticks;
  };
  const Step steps[] = {
      {"no time", 0, 0},
      {"half a tick", kCountsPerTick / 2, 0},
      {"the other half carried over", kCountsPerTick / 2, 1},
      {"a second", kOneSecond, 1},
      {"the rest of that second is dropped", 0, 0},
      {"the counter went back", -5 * kCountsPerTick, 1},
      {"one tick", kCountsPerTick, 1},
  };
  for (const Step& step : steps) {
    const std::uint64_t lastBefore = m.lastCount;
    const std::uint32_t ticksBefore = m.tickCount;
    clock.counter += step.advance;
    EXPECT_EQ(m.RunSlice(clock), StopReason::None) << step.what;
    EXPECT_EQ(m.tickCount - ticksBefore, step.ticks) << step.what;
    EXPECT_EQ(m.lastCount, step.ticks ? static_cast<std::uint64_t>(clock.counter) : lastBefore) << step.what;
  }
}

class TimersWithoutCounter : public Timers {
 protected:
  TimersWithoutCounter() : Timers(0) {}
};

TEST_F(TimersWithoutCounter, SliceTicksWheneverTheMillisecondCountChanged) {
  ASSERT_FALSE(m.hasCounter);
  TimerControl(m, 0x01);
  struct Step {
    std::uint32_t tickMs;
    unsigned ticks;
  };
  const Step steps[] = {{0, 0}, {1, 1}, {1, 0}, {1001, 1}, {998, 1}, {0xFFFFFFFF, 1}, {0, 1}, {0, 0}};
  for (const Step& step : steps) {
    const std::uint32_t ticksBefore = m.tickCount;
    clock.tickMs = step.tickMs;
    EXPECT_EQ(m.RunSlice(clock), StopReason::None);
    EXPECT_EQ(m.tickCount - ticksBefore, step.ticks) << step.tickMs;
    EXPECT_EQ(m.lastCount, step.tickMs);
  }
}

TEST_F(TimersWithoutCounter, IdlePassChargesOneTickAndLeavesTheCount) {
  TimerControl(m, 0x01);
  m.wakeMask = 0x20;
  clock.tickMs = 5000;
  for (unsigned pass = 1; pass <= 3; ++pass) {
    EXPECT_EQ(m.IdleCatchUp(clock), StopReason::Asleep);
    EXPECT_EQ(m.tickCount, pass);
  }
  EXPECT_EQ(m.lastCount, 0u);
}

// How much time a slice and an idle pass charge, down to clocks that jump by
// ages or go back. Nothing wakes, so the idle pass charges every tick it finds.
TEST(TimersElapsed, TicksChargedForAnInterval) {
  constexpr std::int64_t k2p62 = std::int64_t{1} << 62;
  // idleLast: where an idle pass leaves the charged point, the reading
  // itself when it is charged the cap (a long pause, a clock gone back).
  constexpr std::int64_t kReading = -1;
  struct Case {
    const char* what;
    std::int64_t frequency, from, to;
    unsigned idleTicks, sliceTicks;
    std::int64_t idleLast;
  };
  const Case cases[] = {
      {"nothing", kOneSecond, 0, 0, 0, 0, 0},
      {"less than a tick", kOneSecond, 0, kCountsPerTick - 1, 0, 0, 0},
      {"one tick", kOneSecond, 0, kCountsPerTick, 1, 1, kCountsPerTick},
      {"39 ticks and a fraction", kOneSecond, 0, 40 * kCountsPerTick - 1, 39, 1, 39 * kCountsPerTick},
      {"40 ticks", kOneSecond, 0, 40 * kCountsPerTick, 40, 1, kReading},
      {"a second", kOneSecond, 0, kOneSecond, 40, 1, kReading},
      {"back by less than a tick", kOneSecond, 5000, 5000 - kCountsPerTick + 1, 0, 0, 5000},
      {"back by a tick", kOneSecond, 5000, 5000 - kCountsPerTick, 40, 1, kReading},
      {"to the end of time", kOneSecond, 0, kInt64Max, 40, 1, kReading},
      {"from one end to the other", kOneSecond, kInt64Min, kInt64Max, 40, 1, kReading},
      {"back from one end to the other", kOneSecond, kInt64Max, kInt64Min, 40, 1, kReading},
      {"a huge frequency: the product overflows, the count does not", k2p62, 0, std::int64_t{1} << 54, 4, 1,
       std::int64_t{1} << 54},
      {"the largest frequency", kInt64Max, -1, (std::int64_t{1} << 53), 1, 1, (std::int64_t{1} << 53) - 2},
      {"back with a huge frequency", k2p62, 0, -(std::int64_t{1} << 54), 40, 1, kReading},
  };
  for (const Case& c : cases) {
    for (const bool idle : {true, false}) {
      CalculatorFixture f(NopRom(), c.frequency);
      Calculator& m = *f.calc;
      TimerControl(m, 0x01);
      m.lastCount = static_cast<std::uint64_t>(c.from);
      f.clock.counter = c.to;
      if (idle) {
        m.wakeMask = 0x20;
        EXPECT_EQ(m.IdleCatchUp(f.clock), StopReason::Asleep) << c.what;
        EXPECT_EQ(m.tickCount, c.idleTicks) << c.what;
        // Within the cap only whole ticks are charged and the fraction stays
        // pending; at the cap the rest of the time goes.
        EXPECT_EQ(m.lastCount, static_cast<std::uint64_t>(c.idleLast == kReading ? c.to : c.idleLast)) << c.what;
      } else {
        EXPECT_EQ(m.RunSlice(f.clock), StopReason::None) << c.what;
        EXPECT_EQ(m.tickCount, c.sliceTicks) << c.what << " (slice)";
        // One tick passed: charged as an idle pass charges it, the fraction
        // of the next pending. More: the rest of the time goes.
        const std::int64_t sliceLast = !c.sliceTicks ? c.from : c.idleTicks == 1 ? c.idleLast : c.to;
        EXPECT_EQ(m.lastCount, static_cast<std::uint64_t>(sliceLast)) << c.what;
      }
    }
  }
}

// Each tick that wakes the processor is followed by a 300-instruction burst;
// the pass answers 0 only when its last tick woke and the burst ran through.
TEST_F(Timers, IdlePassRunsABurstAfterEachWakingTick) {
  TimerControl(m, 0x01);
  struct Step {
    int ticks;
    StopReason result;
    std::uint32_t pc;
  };
  constexpr StopReason kAsleep = StopReason::Asleep;
  const Step steps[] = {
      {3, kAsleep, kMain},                   // ticks 1-3 wake nothing
      {2, kAsleep, LevelHandler(1) + 600},   // tick 4 enters level 1 and runs a burst; tick 5 wakes nothing
      {3, StopReason::None, LevelHandler(1) + 1200},  // tick 8 is latched (mask 1) but wakes all the same
  };
  for (const Step& step : steps) {
    const std::uint32_t ticksBefore = m.tickCount;
    clock.AdvanceTicks(step.ticks);
    EXPECT_EQ(m.IdleCatchUp(clock), step.result);
    EXPECT_EQ(m.tickCount - ticksBefore, static_cast<std::uint32_t>(step.ticks));
    EXPECT_EQ(m.cpu.pc, step.pc);
  }
  EXPECT_EQ(m.cpu.pendingInts, Bit(1));
}

TEST_F(Timers, BreakpointInAWakeBurstEndsThePass) {
  TimerControl(m, 0x01);
  const std::uint32_t breakpoint = LevelHandler(1) + 100;
  m.breakpoints.Toggle(breakpoint);
  clock.AdvanceTicks(10);
  EXPECT_EQ(m.IdleCatchUp(clock), StopReason::Breakpoint);
  EXPECT_EQ(m.cpu.pc, breakpoint);
  EXPECT_EQ(m.tickCount, 4u) << "the ticks after the waking one are not run";
  EXPECT_EQ(m.lastCount, static_cast<std::uint64_t>(clock.counter)) << "nor kept for later";
}

TEST_F(Timers, BreakpointInASliceChargesNoTime) {
  TimerControl(m, 0x01);
  const std::uint32_t breakpoint = kMain + 20;
  m.breakpoints.Toggle(breakpoint);
  clock.AdvanceTicks(1024);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(m.RunSlice(clock), StopReason::Breakpoint);
    EXPECT_EQ(m.cpu.pc, breakpoint);
    EXPECT_EQ(m.tickCount, 0u);
    EXPECT_EQ(m.lastCount, 0u);
  }
  m.breakpoints.Toggle(breakpoint);
  EXPECT_EQ(m.RunSlice(clock), StopReason::None);
  EXPECT_EQ(m.cpu.pc, breakpoint + 2048);
  EXPECT_EQ(m.tickCount, 1u);
}

// The driver's pass says which debug stop ended it, as the core met it: a
// breakpoint before its instruction, a watchpoint after the access, an
// exception a debugger catches before it is taken. None charges time.
TEST(TimersStops, APassSaysWhichDebugStopEndedIt) {
  // nop; move.l d0,$1000.w; illegal
  constexpr std::uint32_t kAccess = kMain + 2, kIllegal = kMain + 6;
  struct Case {
    const char* what;
    void (*set)(Calculator&);
    StopReason why;
    std::uint32_t pc;
  };
  const Case cases[] = {
      {"breakpoint", [](Calculator& m) { m.breakpoints.Toggle(kAccess); }, StopReason::Breakpoint, kAccess},
      {"watchpoint", [](Calculator& m) { m.watch.Insert({0x1000, 4, WatchKind::Write}); }, StopReason::Watchpoint,
       kIllegal},
      {"caught exception", [](Calculator& m) { m.watch.caughtVectors = 1u << 4; }, StopReason::Exception, kIllegal},
  };
  for (const Case& c : cases) {
    CalculatorFixture f(NopRom().Code(kMain, {0x4E71, 0x21C0, 0x1000, 0x4AFC}));
    Calculator& m = *f.calc;
    TimerControl(m, 0x01);
    c.set(m);
    Driver driver(m, f.clock);
    f.clock.AdvanceTicks(1024);
    EXPECT_EQ(driver.Pass(), c.why) << c.what;
    EXPECT_EQ(m.cpu.pc, c.pc) << c.what;
    EXPECT_EQ(m.tickCount, 0u) << c.what;
    EXPECT_EQ(driver.mode(), Driver::Mode::Running) << c.what;
  }
}

TEST_F(Timers, BurstRunsThreeHundredInstructions) {
  EXPECT_EQ(m.RunBurst(), StopReason::None);
  EXPECT_EQ(m.cpu.pc, kMain + 600);
  m.breakpoints.Toggle(kMain + 700);
  EXPECT_EQ(m.RunBurst(), StopReason::Breakpoint);
  EXPECT_EQ(m.cpu.pc, kMain + 700);
}

TEST_F(Timers, SliceRestoresTheFullWakeMask) {
  m.wakeMask = 0x30;
  EXPECT_EQ(m.RunSlice(clock), StopReason::None);
  EXPECT_EQ(m.wakeMask, 0x3Fu);
}

// A sleeping calculator keeps time: idle passes that each see a fraction of
// a tick more than a whole one lose nothing, whatever the clock's frequency.
TEST(TimersElapsed, IdlePassesCarryTheFractionOfATick) {
  for (const std::int64_t frequency : {ManualClock::kDefaultFrequency, std::int64_t{1'000'000'000}, std::int64_t{3'579'545}}) {
    CalculatorFixture f(NopRom(), frequency);
    Calculator& m = *f.calc;
    TimerControl(m, 0x01);
    m.wakeMask = 0x20;  // nothing wakes it: every pass only counts ticks
    constexpr int kPasses = 3000;
    const std::int64_t step = frequency * 3 / 1000 + 7;  // 3 ms and a bit: about 3.07 ticks
    for (int pass = 0; pass < kPasses; ++pass) {
      f.clock.counter += step;
      ASSERT_EQ(m.IdleCatchUp(f.clock), StopReason::Asleep);
    }
    const auto elapsedTicks = static_cast<std::uint32_t>(step * kPasses * 1024 / frequency);
    EXPECT_EQ(m.tickCount, elapsedTicks) << frequency;
  }
}

// A clock that counts how often it is read.
class CountingClock : public ManualClock {
 public:
  std::int64_t Counter() override {
    ++reads;
    return ManualClock::Counter();
  }
  int reads = 0;
};

TEST(TimersClock, ASliceReadsTheClockOnce) {
  CountingClock clock;
  Calculator m(NopRom().bytes());
  m.StartPacing(clock);
  PortWrite(m, 0x600015, 0x01);
  for (int slice = 1; slice <= 8; ++slice) {
    clock.reads = 0;
    clock.AdvanceTicks(slice % 2);
    m.RunSlice(clock);
    EXPECT_EQ(clock.reads, 1) << slice;
  }
}

}  // namespace
}  // namespace pellux
