// Values no machine can hold: a saved state made by hand, or by a program
// that is not Pellux, is refused rather than run. Each check answers what
// is wrong, for the user.
#pragma once

#include <cstdint>

#include "base/result.h"
#include "machine/calculator.h"
#include "machine/save_state_fields.h"

namespace pellux::state {

// `conditions` are the five condition flags as the section held them.
Status ImpossibleProcessor(const CpuState& cpu, const ConditionBytes& conditions);
Status ImpossibleChips(const Calculator& m);
// `badFlag` is the first flag the reader found neither 0 nor 1, else 0.
Status ImpossibleLink(const LinkSection<LinkPort>& link, std::uint8_t badFlag);

}  // namespace pellux::state
