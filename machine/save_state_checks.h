// Values no machine can hold: a saved state made by hand, or by a program
// that is not Pellux, is refused rather than run. Each check answers what
// is wrong, for the user, or nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "machine/calculator.h"
#include "machine/save_state_fields.h"

namespace pellux::state {

// `conditions` are the five condition flags as the section held them.
std::optional<std::string> ImpossibleProcessor(const CpuState& cpu, const ConditionBytes& conditions);
std::optional<std::string> ImpossibleChips(const Calculator& m);
// `badFlag` is the first flag the reader found neither 0 nor 1, else 0.
std::optional<std::string> ImpossibleLink(const LinkSection<LinkPort>& link, std::uint8_t badFlag);

}  // namespace pellux::state
