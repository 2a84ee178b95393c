// The core instantiated on the flat 16 MB test memory.
#include "cpu/flat_machine.h"
#include "cpu/run_loop.h"

namespace pellux {

template void Reset<FlatMachine>(FlatMachine&);
template RunResult RunInstructions<FlatMachine>(FlatMachine&, std::uint32_t, const BreakpointSet*);
template RunState StepInstruction<FlatMachine>(FlatMachine&);

}  // namespace pellux
