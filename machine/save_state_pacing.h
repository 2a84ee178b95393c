// The part of a timer tick pending when a state is saved, carried to the
// clock of the machine that loads it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/result.h"
#include "machine/calculator.h"
#include "machine/clock.h"
#include "machine/driver.h"
#include "machine/save_state_fields.h"

namespace pellux::state {

// The time pending on m's clock since it was last charged, and the mode.
Pacing PendingTime(const Calculator& m, HostClock& clock, Driver::Mode mode);

// Sets m's charged point on the loader's clock so that the same time is
// pending.
void SetPendingTime(Calculator& m, HostClock& clock, const Pacing& p);

// What is wrong with pacing fields no machine leaves.
Status ImpossiblePacing(const Pacing& p);

}  // namespace pellux::state
