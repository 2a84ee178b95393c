// The status line's speed figure: calculator ticks against real time.
#include "host/speed_meter.h"

#include <gtest/gtest.h>

namespace pellux {
namespace {

constexpr std::int64_t kMs = 1'000'000;

TEST(SpeedMeter, GivesCalculatorTimeOverRealTimeTwiceASecond) {
  const struct {
    std::uint32_t firstTicks;
    std::int64_t elapsedMs;
    std::uint32_t ticks;
    double percent;
  } cases[] = {
      {0, 500, 512, 100.0},            // real time
      {1000, 1000, 2048, 200.0},       // 2x
      {0, 500, 5120, 1000.0},          // unlimited, far ahead
      {7, 500, 480, 93.75},            // a slow host dropping ticks
      {0xFFFFFF00u, 500, 512, 100.0},  // the tick count wraps
      {42, 600, 0, 0.0},               // the timers are off: calculator time stands
  };
  for (const auto& c : cases) {
    SpeedMeter meter;
    EXPECT_FALSE(meter.Sample(10 * kMs, c.firstTicks));
    EXPECT_FALSE(meter.Sample(410 * kMs, c.firstTicks + c.ticks / 2)) << "too soon";
    const auto figure = meter.Sample(10 * kMs + c.elapsedMs * kMs, c.firstTicks + c.ticks);
    ASSERT_TRUE(figure) << c.firstTicks;
    EXPECT_NEAR(*figure, c.percent, 1e-9) << c.firstTicks;
  }
}

TEST(SpeedMeter, RestartLeavesThePauseOut) {
  SpeedMeter meter;
  meter.Sample(0, 0);
  meter.Restart();  // resumed after 10 s of pause
  EXPECT_FALSE(meter.Sample(10'000 * kMs, 0));
  const auto figure = meter.Sample(10'500 * kMs, 512);
  ASSERT_TRUE(figure);
  EXPECT_NEAR(*figure, 100.0, 1e-9);
}

}  // namespace
}  // namespace pellux
