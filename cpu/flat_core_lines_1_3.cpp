// The flat machine's handlers of lines 1-3: MOVE and MOVEA.
#include "cpu/dispatch.h"
#include "cpu/flat_machine.h"

namespace pellux {

template void FillDispatch<FlatMachine, DispatchPart::Lines1To3>(DispatchTable<FlatMachine>&);

}  // namespace pellux
