#include "machine/speed_clock.h"

#include <chrono>
#include <numeric>
#include <thread>

namespace pellux {

namespace {

constexpr std::int64_t kTicksPerSecond = 1024;
constexpr std::int64_t kInstructionsPerSlice = 1024;  // what one run slice runs

// After this many slices the budget is a whole number of counts again
// (9375 slices of 1024 instructions are 8 s), and its origin moves on, so
// the products below stay small however long the program runs.
constexpr std::int64_t kBudgetPeriodSlices =
    kCalculatorInstructionsPerSecond / std::gcd(kInstructionsPerSlice, kCalculatorInstructionsPerSecond);

// A calculator that fell this far behind its instruction budget (a pause,
// the debugger, a slow host) starts a fresh budget instead of racing to
// catch up: 20 ms.
constexpr std::int64_t kBudgetSlackPerSecond = 50;

std::int64_t Factor(Speed speed) {
  switch (speed) {
    case Speed::Double:
      return 2;
    case Speed::Quadruple:
      return 4;
    default:
      return 1;
  }
}

}  // namespace

SpeedClock::SpeedClock(HostClock& base) : base_(base), frequency_(base.CounterFrequency()) {
  baseOrigin_ = base_.Counter();
  origin_ = baseOrigin_;
}

std::int64_t SpeedClock::Scaled(std::int64_t baseNow) const {
  if (speed_ == Speed::Unlimited) return origin_ + unlimitedTicks_ * frequency_ / kTicksPerSecond;
  return origin_ + (baseNow - baseOrigin_) * Factor(speed_);
}

std::int64_t SpeedClock::Counter() { return Scaled(base_.Counter()); }

std::uint32_t SpeedClock::Milliseconds() {
  return static_cast<std::uint32_t>(Counter() / (frequency_ / 1000));
}

void SpeedClock::Reanchor() {
  const std::int64_t baseNow = base_.Counter();
  origin_ = Scaled(baseNow);
  baseOrigin_ = baseNow;
  unlimitedTicks_ = 0;
  budgetStarted_ = false;
}

void SpeedClock::SetSpeed(Speed speed) {
  Reanchor();
  speed_ = speed;
}

void SpeedClock::SetCalculatorSpeed(bool on) {
  calculatorSpeed_ = on;
  budgetStarted_ = false;
}

void SpeedClock::CountUnlimitedTick() {
  if (++unlimitedTicks_ == kTicksPerSecond) {
    origin_ += frequency_;
    unlimitedTicks_ = 0;
  }
}

void SpeedClock::SliceStarting() {
  if (speed_ == Speed::Unlimited) {
    CountUnlimitedTick();
    return;
  }
  if (!calculatorSpeed_) {
    base_.SliceStarting();
    return;
  }
  const std::int64_t now = Counter();
  const std::int64_t budget =
      budgetOrigin_ + budgetSlices_ * kInstructionsPerSlice * frequency_ / kCalculatorInstructionsPerSecond;
  if (!budgetStarted_ || now - budget > frequency_ / kBudgetSlackPerSecond) {
    budgetOrigin_ = now;
    budgetSlices_ = 0;
    budgetStarted_ = true;
  } else if (budget > now) {
    // Calculator time runs `factor` times as fast as the base's.
    const std::int64_t factor = Factor(speed_);
    WaitBase((budget - now + factor - 1) / factor);
  }
  if (++budgetSlices_ == kBudgetPeriodSlices) {
    budgetOrigin_ +=
        kBudgetPeriodSlices * kInstructionsPerSlice * frequency_ / kCalculatorInstructionsPerSecond;
    budgetSlices_ = 0;
  }
}

void SpeedClock::WaitIdle() {
  if (speed_ == Speed::Unlimited) {
    CountUnlimitedTick();
    return;
  }
  base_.WaitIdle();
}

void SpeedClock::WaitBase(std::int64_t counts) {
  std::this_thread::sleep_for(std::chrono::nanoseconds(counts * 1'000'000'000 / frequency_));
}

void ManualSpeedClock::WaitBase(std::int64_t counts) {
  manual_.counter += counts;
  waited_ += counts;
}

}  // namespace pellux
