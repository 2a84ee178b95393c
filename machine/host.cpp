#include "machine/host.h"

#include <chrono>
#include <new>

namespace pellux {

std::unique_ptr<std::uint8_t[]> Host::AllocateImage(std::size_t bytes) {
  return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[bytes]());
}

std::unique_ptr<HostResource> NullHost::CreateListingFont() { return std::make_unique<HostResource>(); }

std::unique_ptr<HostResource> NullHost::CreateDisplayBitmap(int, int) {
  return std::make_unique<HostResource>();
}

std::int64_t SteadyClock::PerfCounter() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::uint32_t SteadyClock::TickCountMs() {
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

void ManualClock::AdvanceTicks(std::int64_t ticks) {
  counter += ticks * frequency / 1024;
  const std::int64_t before = elapsedTicks_ * 1000 / 1024;
  elapsedTicks_ += ticks;
  tickMs += static_cast<std::uint32_t>(elapsedTicks_ * 1000 / 1024 - before);
}

}  // namespace pellux
