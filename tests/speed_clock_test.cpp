// The window's clock at 2x, 4x and Unlimited, and the processor held to the
// calculator's instruction rate, all on a manual base clock.
#include "machine/speed_clock.h"

#include <gtest/gtest.h>

#include "machine/driver.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

constexpr std::int64_t kTick = ManualClock::kDefaultFrequency / 1024;  // counts

TEST(SpeedClock, RunsItsBaseFasterWithoutAJumpWhenTheSpeedChanges) {
  ManualClock base;
  base.counter = 5000;
  SpeedClock clock(base);
  const struct {
    Speed speed;
    std::int64_t factor;
  } steps[] = {
      {Speed::Real, 1}, {Speed::Double, 2}, {Speed::Quadruple, 4}, {Speed::Real, 1}, {Speed::Double, 2}};
  std::int64_t expected = clock.Counter();
  EXPECT_EQ(expected, 5000);
  for (const auto& step : steps) {
    clock.SetSpeed(step.speed);
    EXPECT_EQ(clock.Counter(), expected) << "no jump at the change";
    base.AdvanceTicks(10);
    expected += 10 * kTick * step.factor;
    EXPECT_EQ(clock.Counter(), expected) << step.factor;
    EXPECT_EQ(clock.Milliseconds(), static_cast<std::uint32_t>(expected / (clock.CounterFrequency() / 1000)));
  }
}

TEST(SpeedClock, UnlimitedMovesOneTickPerSliceAndPerIdlePass) {
  ManualClock base;
  SpeedClock clock(base);
  clock.SetSpeed(Speed::Unlimited);
  const std::int64_t start = clock.Counter();
  base.AdvanceTicks(500);  // real time does not count
  for (int i = 0; i < 3000; ++i) {
    clock.SliceStarting();
    if (i % 3 == 0) clock.WaitIdle();
  }
  EXPECT_EQ(clock.Counter() - start, 4000 * kTick);
  clock.SetSpeed(Speed::Real);
  const std::int64_t switched = clock.Counter();
  EXPECT_EQ(switched - start, 4000 * kTick) << "back to real time from where it was";
  base.AdvanceTicks(7);
  EXPECT_EQ(clock.Counter() - switched, 7 * kTick);
}

// A busy processor with the item on runs 1.2 million instructions per
// second of calculator time, at every speed the clock paces.
TEST(SpeedClock, CalculatorSpeedHoldsTheProcessorToItsRate) {
  for (const auto& [speed, factor] : {std::pair{Speed::Real, 1}, {Speed::Double, 2}, {Speed::Quadruple, 4}}) {
    test::CalculatorFixture f(test::NopRom());
    f.calc->ports[port::kTimerControl] = 0x01;  // the timers tick
    ManualSpeedClock clock(f.clock);
    clock.SetSpeed(speed);
    clock.SetCalculatorSpeed(true);
    Driver driver(*f.calc, clock);
    const std::int64_t start = clock.Counter();
    const std::uint64_t before = f.calc->cpu.instructionCount;
    for (int pass = 0; pass < 12000; ++pass) driver.Pass();
    const double seconds =
        static_cast<double>(clock.Counter() - start) / static_cast<double>(clock.CounterFrequency());
    const double rate = static_cast<double>(f.calc->cpu.instructionCount - before) / seconds;
    EXPECT_NEAR(rate, static_cast<double>(kCalculatorInstructionsPerSecond),
                1e-3 * kCalculatorInstructionsPerSecond)
        << factor;
    // The base clock (real time) waited 1/factor of the calculator time.
    EXPECT_NEAR(static_cast<double>(clock.waited()) * factor,
                static_cast<double>(clock.Counter() - start), 2.0 * factor * kTick)
        << factor;
    // And the calculator's timers saw that time: about one tick per 1024 / 1.2M s.
    EXPECT_NEAR(static_cast<double>(f.calc->tickCount), seconds * 1024, 2) << factor;
  }
}

TEST(SpeedClock, CalculatorSpeedStartsAfreshAfterAPause) {
  test::CalculatorFixture f(test::NopRom());
  ManualSpeedClock clock(f.clock);
  clock.SetCalculatorSpeed(true);
  Driver driver(*f.calc, clock);
  for (int pass = 0; pass < 100; ++pass) driver.Pass();
  f.clock.AdvanceTicks(2048);  // two seconds paused
  const std::int64_t waitedBefore = clock.waited();
  const std::uint64_t before = f.calc->cpu.instructionCount;
  for (int pass = 0; pass < 100; ++pass) driver.Pass();
  // No burst to make up the pause: the slices after it wait as before.
  EXPECT_EQ(f.calc->cpu.instructionCount - before, 100u * 1024u);
  EXPECT_GT(clock.waited(), waitedBefore + 90 * 853);
}

}  // namespace
}  // namespace pellux
