// The processor core instantiated on the calculator's bus: the run loop
// here, the handlers in the four files of the dispatch's parts beside it.
#include "cpu/run_loop.h"
#include "machine/memory_bus.h"

namespace pellux {

extern template void FillDispatch<Calculator, DispatchPart::Line0>(DispatchTable<Calculator>&);
extern template void FillDispatch<Calculator, DispatchPart::Lines1To3>(DispatchTable<Calculator>&);
extern template void FillDispatch<Calculator, DispatchPart::Lines4To7>(DispatchTable<Calculator>&);
extern template void FillDispatch<Calculator, DispatchPart::Lines8ToF>(DispatchTable<Calculator>&);

template void Reset<Calculator>(Calculator&);
template RunResult RunInstructions<Calculator>(Calculator&, std::uint32_t, const BreakpointSet*);
template RunState StepInstruction<Calculator>(Calculator&);

}  // namespace pellux
