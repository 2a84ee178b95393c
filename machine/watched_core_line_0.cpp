// The watching core's handlers of line 0: the immediate forms and
// the bits.
#include "cpu/dispatch.h"
#include "machine/watching_calculator.h"

namespace pellux {

template void FillDispatch<WatchingCalculator, DispatchPart::Line0>(DispatchTable<WatchingCalculator>&);

}  // namespace pellux
