// The calculator's handlers of lines 4-7.
#include "cpu/dispatch.h"
#include "machine/memory_bus.h"

namespace pellux {

template void FillDispatch<Calculator, DispatchPart::Lines4To7>(DispatchTable<Calculator>&);

}  // namespace pellux
