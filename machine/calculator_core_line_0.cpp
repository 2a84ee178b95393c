// The calculator's handlers of line 0: the immediate forms and
// the bits.
#include "cpu/dispatch.h"
#include "machine/memory_bus.h"

namespace pellux {

template void FillDispatch<Calculator, DispatchPart::Line0>(DispatchTable<Calculator>&);

}  // namespace pellux
