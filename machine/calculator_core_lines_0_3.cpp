// The calculator's handlers of lines 0-3: the immediate forms,
// the bits, MOVE and MOVEA.
#include "cpu/dispatch.h"
#include "machine/memory_bus.h"

namespace pellux {

template void FillDispatch<Calculator, DispatchPart::Lines0To3>(DispatchTable<Calculator>&);

}  // namespace pellux
