// The calculator's handlers of lines 1-3: MOVE and MOVEA.
#include "cpu/dispatch.h"
#include "machine/memory_bus.h"

namespace pellux {

template void FillDispatch<Calculator, DispatchPart::Lines1To3>(DispatchTable<Calculator>&);

}  // namespace pellux
