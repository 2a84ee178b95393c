// The font of the debugger's lists (listing, registers, memory,
// breakpoints): fixed pitch, so that their columns line up, whatever fonts
// the system has.
#pragma once

#include <QFont>

namespace pellux {

// The system's fixed font when it really is fixed pitch, else a known
// monospace family, at 10 points.
QFont FixedListingFont();

// The choice itself, from the font the system offers as its fixed one. Some
// font sets answer with a family that is not fixed pitch (Noto Sans Mono
// holds glyphs of other widths); the known families follow, then
// fontconfig's "monospace", then DejaVu Sans Mono loaded from its file
// (fonts-dejavu-core, which the project installs). Only when none of them
// is fixed pitch is the offered font kept.
QFont ChooseListingFont(const QFont& offered);

}  // namespace pellux
