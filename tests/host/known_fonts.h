// Fonts whose metrics the window's tests can count on: DejaVu Sans Mono and
// DejaVu Sans from fonts-dejavu-core, added to the application so that a
// test sees them whatever else the machine has installed.
#pragma once

#include <QString>

namespace pellux::test {

struct KnownFonts {
  QString fixed;         // the family of DejaVu Sans Mono, empty when not found
  QString proportional;  // the family of DejaVu Sans, empty when not found
  bool found() const { return !fixed.isEmpty() && !proportional.isEmpty(); }
};

// Loads them on the first call: from where Debian puts them, else where
// fontconfig says they are.
const KnownFonts& LoadKnownFonts();

inline constexpr const char* kNoKnownFonts =
    "DejaVu Sans Mono and DejaVu Sans were not found: install fonts-dejavu-core "
    "(bash scripts/install-deps.sh does)";

}  // namespace pellux::test
