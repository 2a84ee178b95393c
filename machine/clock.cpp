#include "machine/clock.h"

#include <chrono>
#include <thread>

namespace pellux {

std::int64_t SteadyClock::Counter() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::uint32_t SteadyClock::Milliseconds() {
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

void SteadyClock::WaitIdle() { std::this_thread::sleep_for(std::chrono::milliseconds(3)); }

void ManualClock::AdvanceTicks(std::int64_t ticks) {
  if (ticks == 0) return;
  counter += ticks * frequency / 1024;
  const std::int64_t before = elapsedTicks_ * 1000 / 1024;
  elapsedTicks_ += ticks;
  tickMs += static_cast<std::uint32_t>(elapsedTicks_ * 1000 / 1024 - before);
}

}  // namespace pellux
