// What the PC keys of the host key table are called on a keyboard, for the
// Keys window and the keypad's tooltips.
#pragma once

#include <string>
#include <vector>

#include "host/host_keys.h"

namespace pellux {

// The key's name as printed on a PC keyboard ("A", "F12", "Page Up",
// "Num 7"); empty for a key the window does not use.
std::string PcKeyName(PcKey key);

// The PC keys that press a calculator key, by name, in the host key
// table's order; empty for a key no PC key presses.
std::vector<std::string> PcKeyNamesOf(unsigned code);

}  // namespace pellux
