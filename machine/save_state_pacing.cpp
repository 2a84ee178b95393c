#include "machine/save_state_pacing.h"

#include <algorithm>

namespace pellux::state {

namespace {

constexpr unsigned kPartBits = 10;  // the machine keeps its charged point to 1/1024 count
// Millisecond tick counts, for hosts without a high-resolution counter.
constexpr std::int64_t kMillisecondsPerSecond = 1000;
// A rate above this is not a clock (and a second of its parts would not fit).
constexpr std::int64_t kFastestClock = std::int64_t{1} << 52;

// floor(r * b / c) for r < c <= 2^62, without overflow: b's bits one at a
// time, keeping r * (b's bits so far) = result * c + rest with rest < c.
std::uint64_t MulDivBelow(std::uint64_t r, std::uint64_t b, std::uint64_t c) {
  std::uint64_t result = 0, rest = 0;
  for (int bit = 63; bit >= 0; --bit) {
    result <<= 1;
    rest <<= 1;
    if (rest >= c) rest -= c, ++result;
    if ((b >> bit) & 1) {
      rest += r;
      if (rest >= c) rest -= c, ++result;
    }
  }
  return result;
}

// The pending parts at another rate, truncated toward zero.
std::int64_t PendingPartsAt(const Pacing& p, std::int64_t countsPerSecond) {
  if (p.countsPerSecond == countsPerSecond) return p.pendingParts;
  const auto from = static_cast<std::uint64_t>(p.countsPerSecond);
  const auto to = static_cast<std::uint64_t>(countsPerSecond);
  const std::uint64_t magnitude = p.pendingParts < 0 ? 0 - static_cast<std::uint64_t>(p.pendingParts)
                                                     : static_cast<std::uint64_t>(p.pendingParts);
  const auto converted =
      static_cast<std::int64_t>(magnitude / from * to + MulDivBelow(magnitude % from, to, from));
  return p.pendingParts < 0 ? -converted : converted;
}

}  // namespace

// The distance from a clock reading to the charged point, at most a second
// either way: the machine charges at most 40 ticks at once, so anything
// beyond behaves the same.
Pacing PendingTime(const Calculator& m, HostClock& clock, Driver::Mode mode) {
  Pacing p;
  p.mode = mode == Driver::Mode::Asleep ? 1 : 0;
  std::int64_t counts;
  if (m.hasCounter) {
    p.countsPerSecond = std::min(m.counterFrequency, kFastestClock);
    counts = static_cast<std::int64_t>(static_cast<std::uint64_t>(clock.Counter()) - m.lastCount);
  } else {
    p.countsPerSecond = kMillisecondsPerSecond;
    counts = static_cast<std::int32_t>(clock.Milliseconds() - static_cast<std::uint32_t>(m.lastCount));
  }
  counts = std::clamp(counts, -p.countsPerSecond, p.countsPerSecond);
  p.pendingParts = counts * (std::int64_t{1} << kPartBits) - (m.hasCounter ? m.lastCountFraction : 0);
  return p;
}

// The charged point is the reading less the pending parts, a whole count
// and a fraction above it.
void SetPendingTime(Calculator& m, HostClock& clock, const Pacing& p) {
  m.StartPacing(clock);
  const std::int64_t frequency = std::min(m.counterFrequency, kFastestClock);
  const std::int64_t parts = PendingPartsAt(p, m.hasCounter ? frequency : kMillisecondsPerSecond);
  const std::int64_t wholeCounts = (parts + (std::int64_t{1} << kPartBits) - 1) >> kPartBits;  // rounded up
  m.lastCount -= static_cast<std::uint64_t>(wholeCounts);
  if (m.hasCounter) {
    m.lastCountFraction = static_cast<std::uint32_t>((wholeCounts << kPartBits) - parts);
  } else {
    m.lastCount &= 0xFFFFFFFFu;  // a millisecond count lives in the low half
  }
}

Status ImpossiblePacing(const Pacing& p) {
  if (p.countsPerSecond <= 0 || p.countsPerSecond > kFastestClock)
    return Fail("the clock rate is impossible");
  const std::int64_t mostParts = p.countsPerSecond << kPartBits;
  if (p.pendingParts < -mostParts || p.pendingParts > mostParts)
    return Fail("the pending time is out of range");
  if (p.mode > 1) return Fail("the host loop's mode is unknown");
  return Ok();
}

}  // namespace pellux::state
