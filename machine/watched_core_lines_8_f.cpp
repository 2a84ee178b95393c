// The watching core's handlers of lines 8-F.
#include "cpu/dispatch.h"
#include "machine/watching_calculator.h"

namespace pellux {

template void FillDispatch<WatchingCalculator, DispatchPart::Lines8ToF>(DispatchTable<WatchingCalculator>&);

}  // namespace pellux
