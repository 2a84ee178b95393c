// The flat machine's handlers of lines 0-3: the immediate forms,
// the bits, MOVE and MOVEA.
#include "cpu/dispatch.h"
#include "cpu/flat_machine.h"

namespace pellux {

template void FillDispatch<FlatMachine, DispatchPart::Lines0To3>(DispatchTable<FlatMachine>&);

}  // namespace pellux
