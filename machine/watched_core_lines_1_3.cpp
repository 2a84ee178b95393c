// The watching core's handlers of lines 1-3: MOVE and MOVEA.
#include "cpu/dispatch.h"
#include "machine/watching_calculator.h"

namespace pellux {

template void FillDispatch<WatchingCalculator, DispatchPart::Lines1To3>(DispatchTable<WatchingCalculator>&);

}  // namespace pellux
