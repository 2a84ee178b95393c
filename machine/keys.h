// The calculator's keys as the machine knows them: a code per key, and a
// name for each, which the headless runner's key scripts and the window's
// key help use.
//
// Code n is the key at row n / 8, column n % 8 of the keyboard matrix; 128
// is ON. Each matrix key is named after the PC key that presses it in the
// window. Codes 8, 16 and 71 have no PC key and no name.
#pragma once

#include <optional>
#include <string_view>

namespace pellux {

constexpr unsigned kMatrixKeyCount = 80;  // codes 0..79
constexpr unsigned kOnKeyCode = 128;

// A key's name ("ON" for 128), or null for a code without one.
const char* KeyName(unsigned code);

// A name (any case), or K followed by a code (K0 to K79, K128); nullopt when
// it names no key.
std::optional<unsigned> KeyCodeFromName(std::string_view name);

}  // namespace pellux
