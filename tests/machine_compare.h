// Whole machines compared field by field, for the save-state tests and the
// state fuzz target.
#pragma once

#include <string>

#include "machine/calculator.h"

namespace pellux::test {

// The first difference between two machines in what decides what they do
// next (registers, RAM, flash, ports, timers, keys, LCD, the link port's
// chip), as "what: a vs b"; empty when there is none. The pacing clock
// readings are not compared: they belong to each machine's own clock; nor
// is the link cable, which a saved state does not hold.
std::string MachineDifference(const Calculator& a, const Calculator& b);

}  // namespace pellux::test
