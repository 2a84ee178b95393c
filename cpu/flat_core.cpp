// The core instantiated on the flat 16 MB test memory: the run loop here,
// the handlers in the four files of the dispatch's parts beside it.
#include "cpu/flat_machine.h"
#include "cpu/run_loop.h"

namespace pellux {

extern template void FillDispatch<FlatMachine, DispatchPart::Line0>(DispatchTable<FlatMachine>&);
extern template void FillDispatch<FlatMachine, DispatchPart::Lines1To3>(DispatchTable<FlatMachine>&);
extern template void FillDispatch<FlatMachine, DispatchPart::Lines4To7>(DispatchTable<FlatMachine>&);
extern template void FillDispatch<FlatMachine, DispatchPart::Lines8ToF>(DispatchTable<FlatMachine>&);

template void Reset<FlatMachine>(FlatMachine&);
template RunResult RunInstructions<FlatMachine>(FlatMachine&, std::uint32_t, const BreakpointSet*);
template RunState StepInstruction<FlatMachine>(FlatMachine&);

}  // namespace pellux
