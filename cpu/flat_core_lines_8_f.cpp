// The flat machine's handlers of lines 8-F.
#include "cpu/dispatch.h"
#include "cpu/flat_machine.h"

namespace pellux {

template void FillDispatch<FlatMachine, DispatchPart::Lines8ToF>(DispatchTable<FlatMachine>&);

}  // namespace pellux
