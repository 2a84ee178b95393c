// The flat machine's handlers of lines 4-7.
#include "cpu/dispatch.h"
#include "cpu/flat_machine.h"

namespace pellux {

template void FillDispatch<FlatMachine, DispatchPart::Lines4To7>(DispatchTable<FlatMachine>&);

}  // namespace pellux
