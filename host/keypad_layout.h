// The TI-92 Plus keyboard as a picture: every key's place, its label and the
// function 2nd gives it, as data. Places are in key units: x across in key
// widths, y down in rows (a row holds the 2nd label above the key).
#pragma once

#include <array>
#include <optional>

namespace pellux {

enum class KeyStyle { Letter, Function, Modifier, Number, Operator, Arrow, On };

struct KeypadKey {
  unsigned code;  // the calculator key code: 0..79 a matrix key, 128 ON
  float x, y, width, height;
  const char* label;   // UTF-8
  const char* second;  // what 2nd makes of it, or null
  KeyStyle style;
};

// The picture's size in key units.
constexpr float kKeypadWidthUnits = 24.0f;
constexpr float kKeypadHeightRows = 5.0f;

extern const std::array<KeypadKey, 78> kKeypadKeys;

// The key under a point in key units, if any.
const KeypadKey* KeypadKeyAt(float x, float y);

// The key with that code, or null.
const KeypadKey* KeypadKeyOf(unsigned code);

}  // namespace pellux
