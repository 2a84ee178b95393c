// The processor core on a machine that hears its own bus: every data access
// can be checked against the watchpoints and every exception against the
// caught vectors, then passed on to the calculator unchanged. Only runs
// with a watch set, and the debugger's single steps, come here; the plain
// bus stays as it is. This is the one other copy of the calculator's core:
// the steps only listen for exceptions, on the same handlers.
#include "machine/watched_core.h"

#include "cpu/run_loop.h"
#include "machine/calculator.h"
#include "machine/memory_bus.h"

namespace pellux {

namespace {

struct WatchingCalculator {
  CpuState& cpu;
  Calculator& calc;
  // The watch checked, or null when the run only listens for exceptions.
  DebugWatch* watch;
  // The first exception vector the instruction raised, caught or not.
  std::optional<unsigned> raised;
  // The exception vector the instruction raised that the debugger catches.
  std::optional<unsigned> caught;

  // Called by RaiseException before the frame is stacked.
  void ExceptionRaised(unsigned vector) {
    if (!raised) raised = vector;
    if (!watch || vector >= 64 || !(watch->caughtVectors >> vector & 1) || caught) return;
    if (watch->passVector == vector) return;
    caught = vector;
  }

  // Stops on the first watchpoint an access meets. The instruction stream
  // (reads at the PC) is not data, and an odd word or long access faults
  // without touching memory.
  void Check(std::uint32_t address, unsigned size, bool write) {
    if (!watch || watch->stop) return;
    if (!write && address == cpu.pc) return;
    if (size > 1 && (address & 1)) return;
    const std::uint32_t first = address & bus::kAddressMask;
    for (const Watchpoint& point : watch->watchpoints) {
      if (!(static_cast<unsigned>(point.kind) & (write ? 1u : 2u))) continue;
      const std::uint32_t start = point.address & bus::kAddressMask;
      // Overlap of [first, first + size) with [start, start + length).
      const std::uint32_t offset = first - start;
      if (offset < point.length || start - first < size) {
        watch->stop = WatchStop{WatchStop::Cause::Watchpoint, point,
                               offset < point.length ? address : point.address, 0};
        return;
      }
    }
  }
};

// The instruction stream is not data: it takes the calculator's own fetch.
std::uint32_t FetchWord(WatchingCalculator& m) { return FetchWord(m.calc); }
std::uint32_t FetchLong(WatchingCalculator& m) { return FetchLong(m.calc); }

std::uint32_t ReadByte(WatchingCalculator& m, std::uint32_t address) {
  m.Check(address, 1, false);
  return ReadByte(m.calc, address);
}
std::uint32_t ReadWord(WatchingCalculator& m, std::uint32_t address) {
  m.Check(address, 2, false);
  return ReadWord(m.calc, address);
}
std::uint32_t ReadLong(WatchingCalculator& m, std::uint32_t address) {
  m.Check(address, 4, false);
  return ReadLong(m.calc, address);
}
void WriteByte(WatchingCalculator& m, std::uint32_t address, std::uint32_t value) {
  m.Check(address, 1, true);
  WriteByte(m.calc, address, value);
}
void WriteWord(WatchingCalculator& m, std::uint32_t address, std::uint32_t value) {
  m.Check(address, 2, true);
  WriteWord(m.calc, address, value);
}
void WriteLong(WatchingCalculator& m, std::uint32_t address, std::uint32_t value) {
  m.Check(address, 4, true);
  WriteLong(m.calc, address, value);
}

// One instruction at a time, so that a stop falls between instructions.
RunResult RunWatched(Calculator& m, std::uint32_t count, const BreakpointSet* breakpoints) {
  DebugWatch& watch = m.watch;
  watch.stop.reset();
  for (std::uint32_t done = 0; done < count; ++done) {
    WatchingCalculator watching{m.cpu, m, &watch, std::nullopt, std::nullopt};
    const CpuState before = m.cpu;
    const RunResult result = RunInstructions(watching, 1, breakpoints);
    watch.passVector.reset();
    if (watching.caught) {
      m.cpu = before;
      watch.stop = WatchStop{WatchStop::Cause::Exception, {}, 0, *watching.caught};
      return RunResult::Breakpoint;
    }
    if (result != RunResult::Completed) return result;
    if (watch.stop) return RunResult::Breakpoint;
  }
  return RunResult::Completed;
}

}  // namespace

RunResult RunWatchedOrPlain(Calculator& m, std::uint32_t count, const BreakpointSet* breakpoints) {
  // Whatever changed the machine since the last run (a state loaded, a
  // debugger's poke, the flash state set by hand) is seen at the first fetch.
  m.fetch.Clear();
  if (!m.watch.Active()) return RunInstructions(m, count, breakpoints);
  return RunWatched(m, count, breakpoints);
}

RunResult RunOneHearingExceptions(Calculator& m, std::optional<unsigned>& raised) {
  m.fetch.Clear();
  WatchingCalculator listening{m.cpu, m, nullptr, std::nullopt, std::nullopt};
  const RunResult result = RunInstructions(listening, 1, nullptr);
  raised = listening.raised;
  return result;
}

}  // namespace pellux
