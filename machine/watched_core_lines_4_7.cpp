// The watching core's handlers of lines 4-7.
#include "cpu/dispatch.h"
#include "machine/watching_calculator.h"

namespace pellux {

template void FillDispatch<WatchingCalculator, DispatchPart::Lines4To7>(DispatchTable<WatchingCalculator>&);

}  // namespace pellux
