#include "host/speed_meter.h"

namespace pellux {

namespace {
constexpr double kTicksPerSecond = 1024.0;
}

std::optional<double> SpeedMeter::Sample(std::int64_t realNs, std::uint32_t ticks) {
  if (!started_ || realNs < startNs_) {
    started_ = true;
    startNs_ = realNs;
    startTicks_ = ticks;
    return std::nullopt;
  }
  const std::int64_t elapsed = realNs - startNs_;
  if (elapsed < kIntervalNs) return std::nullopt;
  const std::uint32_t counted = ticks - startTicks_;
  startNs_ = realNs;
  startTicks_ = ticks;
  return 100.0 * (counted / kTicksPerSecond) / (static_cast<double>(elapsed) / 1e9);
}

}  // namespace pellux
