// The status line's speed: how far calculator time moved against real time,
// as a percentage, worked out about twice a second. Calculator time is the
// timer ticks the machine counted, so the figure is what the calculator's
// programs see, whatever the pacing (a slow host that drops ticks shows
// below 100 %; Unlimited shows how far ahead it runs).
#pragma once

#include <cstdint>
#include <optional>

namespace pellux {

class SpeedMeter {
 public:
  static constexpr std::int64_t kIntervalNs = 500'000'000;

  // A reading: real time in nanoseconds and the machine's tick count (which
  // may wrap). Answers a new figure once an interval has passed since the
  // last one.
  std::optional<double> Sample(std::int64_t realNs, std::uint32_t ticks);
  // Forgets the last reading: after a pause the next interval starts afresh.
  void Restart() { started_ = false; }

 private:
  bool started_ = false;
  std::int64_t startNs_ = 0;
  std::uint32_t startTicks_ = 0;
};

}  // namespace pellux
