// The processor core instantiated on the calculator's bus.
#include "cpu/run_loop.h"
#include "machine/memory_bus.h"

namespace pellux {

template void Reset<Calculator>(Calculator&);
template RunResult RunInstructions<Calculator>(Calculator&, std::uint32_t, const BreakpointSet*);
template RunState StepInstruction<Calculator>(Calculator&);

}  // namespace pellux
