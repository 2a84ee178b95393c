// Running the calculator with its debug watch (machine/watchpoints.h).
#pragma once

#include <cstdint>
#include <optional>

#include "cpu/breakpoint_set.h"
#include "cpu/cpu_state.h"

namespace pellux {

class Calculator;

// Runs up to count instructions as RunInstructions does, through the
// watching core when the machine's watch is active. A watchpoint met or an
// exception caught ends the run with Breakpoint and m.watch.stop saying
// which: a watchpoint after the instruction that touched it, a caught
// exception before the instruction that raised it (registers as they were,
// the PC on its opcode; memory the instruction wrote before faulting stays
// written).
RunResult RunWatchedOrPlain(Calculator& m, std::uint32_t count, const BreakpointSet* breakpoints);

// One instruction as RunInstructions(m, 1, nullptr) runs it, neither the
// breakpoints nor the watch consulted; `raised` gets the first exception the
// core raised while it ran (a fault, a TRAP, an interrupt taken), if any.
RunResult RunOneHearingExceptions(Calculator& m, std::optional<unsigned>& raised);

}  // namespace pellux
