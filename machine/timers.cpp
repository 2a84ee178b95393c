// Time: run slices paced to the host clock, and the timer tick that drives
// the periodic, programmable-timer and keyboard interrupts.
//
// Real time enters only as ticks of 1/1024 s. A slice of 1024 instructions
// charges at most one tick however long it took, so on a slow host the
// calculator's clock runs slow rather than catching up; a pass of the host's
// idle loop, while the processor sleeps, charges at most 40 and carries the
// fraction of a tick to the next pass, so a sleeping calculator keeps time.
//
// The link port keeps its own time (machine/link_port.h): a unit for each
// instruction the slices and bursts run, and kLinkUnitsPerTick for each tick
// the processor sleeps through.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>

#include "cpu/always_inline.h"
#include "cpu/core.h"
#include "cpu/exceptions.h"
#include "machine/calculator.h"
#include "machine/memory_bus.h"
#include "machine/watched_core.h"

namespace pellux {

namespace {

constexpr unsigned kTickBits = 10;  // 1024 ticks per second
constexpr std::uint32_t kSliceInstructions = 1024;
constexpr std::uint32_t kBurstInstructions = 300;
constexpr std::int64_t kIdleTickCap = 40;  // about 39 ms of host time

// Port 0x15.
constexpr std::uint8_t kTicksRun = 0x01;
constexpr std::uint8_t kTimerCounts = 0x08;

constexpr std::int64_t kMaxTicks = std::numeric_limits<std::int64_t>::max();

// Whole ticks between two counter readings: ((now - last) * 1024) / frequency
// in signed 64-bit arithmetic, truncated toward zero. A clock that jumps by
// ages would overflow that product; here the result stays exact and is
// saturated only where it does not fit itself.
std::int64_t TicksBetween(std::int64_t last, std::int64_t now, std::int64_t frequency) {
  const bool backwards = now < last;
  // The distance as a magnitude, exact over the whole signed range.
  const std::uint64_t counts = backwards ? static_cast<std::uint64_t>(last) - static_cast<std::uint64_t>(now)
                                         : static_cast<std::uint64_t>(now) - static_cast<std::uint64_t>(last);
  const auto perSecond = static_cast<std::uint64_t>(frequency);
  constexpr std::uint64_t kMaxWhole = static_cast<std::uint64_t>(kMaxTicks) >> kTickBits;
  std::uint64_t ticks;
  if (counts <= kMaxWhole) {
    ticks = (counts << kTickBits) / perSecond;
  } else {
    // Whole seconds first, then the fraction a bit at a time; the remainder
    // stays below the frequency (< 2^63), so doubling it cannot overflow.
    ticks = counts / perSecond;
    if (ticks > kMaxWhole) return backwards ? -kMaxTicks : kMaxTicks;
    std::uint64_t rest = counts % perSecond;
    for (unsigned bit = 0; bit < kTickBits; ++bit) {
      rest <<= 1;
      ticks <<= 1;
      if (rest >= perSecond) {
        rest -= perSecond;
        ticks |= 1;
      }
    }
  }
  const auto signedTicks = static_cast<std::int64_t>(ticks);
  return backwards ? -signedTicks : signedTicks;
}

// A protected write becomes interrupt level 7 once the run has ended, and
// the run then counts as completed; so does a run that ended for the link.
PELLUX_ALWAYS_INLINE RunResult Settled(Calculator& m, RunResult result) {
  if (result == RunResult::ProtectViolation) {
    RequestInterrupt(m, level::kProtect);
    return RunResult::Completed;
  }
  return result == RunResult::DeviceRequest ? RunResult::Completed : result;
}

// The link's time after a run of `ran` instructions that touched the link
// or had something under way on it. Answers whether it asked for its
// interrupt.
bool ChargeLink(Calculator& m, std::uint32_t ran, bool wasTransmitting) {
  // A byte written by the last instruction starts on its way after it.
  if (!wasTransmitting && m.link.txFull) m.link.txUnits += ran;
  return AdvanceLink(m, ran);
}

// The rest of a budget while something is under way on the link: each run
// is cut at the link's next event, so that the event falls between the
// right two instructions.
[[gnu::noinline]] RunResult RunLinked(Calculator& m, std::uint32_t left) {
  for (;;) {
    const std::optional<std::uint32_t> next = LinkUnitsToNextEvent(m);
    if (next == 0u) {
      AdvanceLink(m, 0);
      continue;
    }
    const bool transmitting = m.link.txFull;
    const std::uint64_t before = m.cpu.instructionCount;
    const RunResult result =
        RunWatchedOrPlain(m, next ? std::min(left, *next) : left, ActiveBreakpoints(m.breakpoints));
    const auto ran = static_cast<std::uint32_t>(m.cpu.instructionCount - before);
    left -= ran;
    const bool linkAsked = ChargeLink(m, ran, transmitting);
    // The link may wake the processor the last instruction put to sleep.
    if (result == RunResult::Asleep && linkAsked && (m.wakeMask & wake::kLink)) return RunResult::Completed;
    if ((result != RunResult::Completed && result != RunResult::DeviceRequest) || left == 0) {
      return Settled(m, result);
    }
  }
}

// Runs a budget of instructions, the link's time moving by the
// instructions run. A quiet link costs one test: the budget runs whole,
// unless an instruction touches the link.
PELLUX_ALWAYS_INLINE RunResult RunSettled(Calculator& m, std::uint32_t count) {
  if (!LinkQuiet(m.link)) [[unlikely]] {
    return RunLinked(m, count);
  }
  const std::uint64_t before = m.cpu.instructionCount;
  const RunResult result = RunWatchedOrPlain(m, count, ActiveBreakpoints(m.breakpoints));
  const auto ran = static_cast<std::uint32_t>(m.cpu.instructionCount - before);
  if (result != RunResult::DeviceRequest) [[likely]] {
    m.link.time += ran;
    return Settled(m, result);
  }
  ChargeLink(m, ran, false);
  if (ran == count) return Settled(m, result);
  return RunLinked(m, count - ran);
}

// The link's time while the processor sleeps, event by event, until it asks
// for an interrupt that may wake the processor (answers true) or the units
// are spent.
bool SleepOnLink(Calculator& m, std::uint32_t& units) {
  if (LinkQuiet(m.link)) {
    m.link.time += std::exchange(units, 0);
    return false;
  }
  for (;;) {
    const std::optional<std::uint32_t> next = LinkUnitsToNextEvent(m);
    const std::uint32_t step = next ? std::min(units, *next) : units;
    const bool asked = AdvanceLink(m, step);
    units -= step;
    if (asked && (m.wakeMask & wake::kLink)) return true;
    if (units == 0) return false;
  }
}

}  // namespace

StopReason Calculator::RunSlice(HostClock& clock) {
  wakeMask = wake::kAll;
  const StopReason unticked = StopOf(RunSettled(*this, kSliceInstructions), watch);
  if (IsDebugStop(unticked)) return unticked;  // no tick is charged

  // One tick at most, however long the slice took; until a whole tick has
  // passed, the time carries over to the next slice.
  if (hasCounter) {
    const std::int64_t now = clock.Counter();
    std::int64_t ticks = TicksBetween(static_cast<std::int64_t>(lastCount), now, counterFrequency);
    if (ticks == 0) return unticked;
    if (ticks == 1) {
      // The part of the next tick that has passed already stays pending, so
      // slices that each take less than a tick (a processor held to the
      // calculator's speed) lose no time.
      ChargeWholeTicks(ticks, now);
      if (ticks == 0) return unticked;
    } else {
      // A slow slice (or a clock that went back): the time beyond its one
      // tick is dropped.
      lastCount = static_cast<std::uint64_t>(now);
      lastCountFraction = 0;
    }
  } else {
    const std::uint32_t now = clock.Milliseconds();
    if (now == static_cast<std::uint32_t>(lastCount)) return unticked;
    lastCount = now;
  }
  const bool woken = TimerTick();
  return unticked == StopReason::Asleep && !woken ? StopReason::Asleep : StopReason::None;
}

StopReason Calculator::RunBurst() { return StopOf(RunSettled(*this, kBurstInstructions), watch); }

void Calculator::ChargeWholeTicks(std::int64_t& ticks, std::int64_t now) {
  // Only the whole ticks are charged; the part of a tick left over stays
  // pending for the next pass. The counts of a tick need not be whole, so the
  // charged point is kept to 1/1024 of a count: ticks * frequency / 1024
  // counts, split so that nothing overflows.
  const std::int64_t countsPerTick = counterFrequency >> kTickBits;
  const std::int64_t partCounts = counterFrequency & ((1 << kTickBits) - 1);
  for (; ticks > 0; --ticks) {
    const std::int64_t parts = ticks * partCounts + lastCountFraction;
    const std::int64_t charged = static_cast<std::int64_t>(lastCount) + ticks * countsPerTick + (parts >> kTickBits);
    const auto fraction = static_cast<std::uint32_t>(parts & ((1 << kTickBits) - 1));
    // The reading truncated the time before the fraction charged last: one
    // tick fewer when that fraction is not there yet.
    if (charged < now || (charged == now && fraction == 0)) {
      lastCount = static_cast<std::uint64_t>(charged);
      lastCountFraction = fraction;
      return;
    }
  }
}

StopReason Calculator::IdleCatchUp(HostClock& clock) {
  // Without a high-resolution counter every pass stands for one tick.
  std::int64_t ticks = 1;
  if (hasCounter) {
    const std::int64_t now = clock.Counter();
    ticks = TicksBetween(static_cast<std::int64_t>(lastCount), now, counterFrequency);
    if (ticks < 0 || ticks >= kIdleTickCap) {
      // A counter that went back, or a long pause, is charged the cap and
      // the rest of the time is dropped.
      ticks = kIdleTickCap;
      lastCount = static_cast<std::uint64_t>(now);
      lastCountFraction = 0;
    } else {
      ChargeWholeTicks(ticks, now);
    }
  }

  // The processor runs only in short bursts after ticks that wake it. The
  // link's time passes with the tick's; a link event that wakes the
  // processor starts a burst there, whose instructions are part of the tick.
  StopReason outcome = StopReason::Asleep;
  for (; ticks > 0; --ticks) {
    bool woken = TimerTick();
    std::uint32_t units = kLinkUnitsPerTick;
    for (;;) {
      if (!woken) woken = SleepOnLink(*this, units);
      if (!woken) {
        outcome = StopReason::Asleep;
        break;
      }
      const std::uint64_t before = cpu.instructionCount;
      outcome = RunBurst();
      if (IsDebugStop(outcome)) return outcome;
      const std::uint64_t ran = cpu.instructionCount - before;
      if (outcome == StopReason::None || ran >= units) break;
      units -= static_cast<std::uint32_t>(ran);
      woken = false;
    }
  }
  return outcome;
}

bool Calculator::TimerTick() {
  const std::uint8_t control = ports[port::kTimerControl];
  if (!(control & kTicksRun)) return false;  // not counted, no display check
  ++tickCount;
  bool woken = false;

  // The LCD as it showed during the tick that ends, for the grey blend.
  GetLcdFrame(NextSample(lcdBlend));
  TakeSample(lcdBlend);

  // 256 times a second; every fourth of those, the display check first.
  if (tickCount % 4 == 0) {
    if (tickCount % 16 == 0) RefreshDisplay();
    RequestInterrupt(*this, level::kPeriodic);
    woken |= (wakeMask & wake::kPeriodic) != 0;
  }

  // The programmable timer counts up and interrupts when it wraps to 0.
  if (control & kTimerCounts) {
    std::uint8_t& count = ports[port::kTimerCount];
    count = static_cast<std::uint8_t>(count + 1);
    if (count == 0) {
      count = static_cast<std::uint8_t>(timerReload);
      RequestInterrupt(*this, level::kTimer);
      woken |= (wakeMask & wake::kTimer) != 0;
    }
  }

  // 512 times a second while a matrix key is held.
  if ((tickCount & 1) && anyKeyDown) {
    RequestInterrupt(*this, level::kKeyboard);
    woken |= (wakeMask & wake::kKeyboard) != 0;
  }
  return woken;
}

}  // namespace pellux
