// The processor core on a machine that hears its own bus
// (machine/watching_calculator.h). Only runs with a watch set, and the
// debugger's single steps, come here; the plain bus stays as it is. This is
// the one other copy of the calculator's core: the steps only listen for
// exceptions, on the same handlers.
#include "machine/watched_core.h"

#include "cpu/run_loop.h"
#include "machine/calculator.h"
#include "machine/memory_bus.h"
#include "machine/watching_calculator.h"

namespace pellux {

extern template void FillDispatch<WatchingCalculator, DispatchPart::Line0>(
    DispatchTable<WatchingCalculator>&);
extern template void FillDispatch<WatchingCalculator, DispatchPart::Lines1To3>(
    DispatchTable<WatchingCalculator>&);
extern template void FillDispatch<WatchingCalculator, DispatchPart::Lines4To7>(
    DispatchTable<WatchingCalculator>&);
extern template void FillDispatch<WatchingCalculator, DispatchPart::Lines8ToF>(
    DispatchTable<WatchingCalculator>&);

namespace {

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
