// Where real time comes from: a high-resolution counter when the host has
// one, else a millisecond tick count. The machine reads it only inside the
// paced operations it is handed to; the driver also asks it to wait while
// the processor sleeps.
#pragma once

#include <cstdint>

namespace pellux {

class HostClock {
 public:
  virtual ~HostClock() = default;
  // Counts per second of the high-resolution counter, or 0 when there is none.
  virtual std::int64_t CounterFrequency() = 0;
  // The high-resolution counter's reading: counts since some fixed moment.
  virtual std::int64_t Counter() = 0;
  // Milliseconds since some fixed moment, wrapping at 2^32 (about 49 days).
  virtual std::uint32_t Milliseconds() = 0;

  // Called before each run slice, and in place of a pass's wait while the
  // processor sleeps: a real clock sleeps a little then, a manual one moves
  // on by its step.
  virtual void SliceStarting() {}
  virtual void WaitIdle() = 0;
};

// The host's monotonic clock, in nanoseconds; an idle wait sleeps 3 ms.
class SteadyClock : public HostClock {
 public:
  std::int64_t CounterFrequency() override { return 1'000'000'000; }
  std::int64_t Counter() override;
  std::uint32_t Milliseconds() override;
  void WaitIdle() override;
};

// A clock that moves only when told to: tests and the headless runner.
// With passTicks set, it also moves by that many ticks before each run slice
// and at each idle wait, so emulated time follows the passes of the loop:
// deterministic and as fast as the host allows.
class ManualClock : public HostClock {
 public:
  // The default frequency makes one tick exactly 1000 counts.
  static constexpr std::int64_t kDefaultFrequency = 1'024'000;
  explicit ManualClock(std::int64_t frequency = kDefaultFrequency) : frequency(frequency) {}

  std::int64_t CounterFrequency() override { return frequency; }
  std::int64_t Counter() override { return counter; }
  std::uint32_t Milliseconds() override { return tickMs; }
  void SliceStarting() override { AdvanceTicks(passTicks); }
  void WaitIdle() override { AdvanceTicks(passTicks); }

  // Moves both readings on by the given number of 1/1024 s ticks (negative
  // values move the clock back).
  void AdvanceTicks(std::int64_t ticks);

  std::int64_t frequency;  // 0: the host has no high-resolution counter
  std::int64_t counter = 0;
  std::uint32_t tickMs = 0;
  std::int64_t passTicks = 0;

 private:
  std::int64_t elapsedTicks_ = 0;
};

}  // namespace pellux
