// The flat machine's handlers of line 0: the immediate forms and
// the bits.
#include "cpu/dispatch.h"
#include "cpu/flat_machine.h"

namespace pellux {

template void FillDispatch<FlatMachine, DispatchPart::Line0>(DispatchTable<FlatMachine>&);

}  // namespace pellux
