// What the PC keys of the host key table are called on a keyboard, for the
// Keys window.
#pragma once

#include <string>

namespace pellux {

// The key's name as printed on a PC keyboard ("A", "F12", "Page Up",
// "Num 7"); empty for a virtual key the window does not use.
std::string VirtualKeyName(unsigned virtualKey);

}  // namespace pellux
