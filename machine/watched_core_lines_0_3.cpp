// The watching core's handlers of lines 0-3: the immediate forms, the
// bits, MOVE and MOVEA.
#include "cpu/dispatch.h"
#include "machine/watching_calculator.h"

namespace pellux {

template void FillDispatch<WatchingCalculator, DispatchPart::Lines0To3>(DispatchTable<WatchingCalculator>&);

}  // namespace pellux
