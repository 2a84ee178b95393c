// The calculator's handlers of lines 8-F.
#include "cpu/dispatch.h"
#include "machine/memory_bus.h"

namespace pellux {

template void FillDispatch<Calculator, DispatchPart::Lines8ToF>(DispatchTable<Calculator>&);

}  // namespace pellux
