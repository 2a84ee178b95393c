// The host resources the Calculator owns, as the Qt shell makes them.
#pragma once

#include <QFont>
#include <QFontDatabase>
#include <QImage>

#include "machine/host.h"

namespace pellux {

// The platform's fixed-pitch font at 10 points, so that the debugger's
// columns line up; every system Qt runs on has one.
inline QFont FixedListingFont() {
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPointSize(10);
  return font;
}

// The debugger's fixed-pitch listing font.
class ListingFont : public HostResource {
 public:
  explicit ListingFont(const QFont& font) : font(font) {}
  QFont font;
};

// The display at the current zoom as a 1-bit image (colour 0 white, 1
// black): made when the zoom changes, which tests that the host can afford
// the size, and refilled from the LCD frame at every paint.
class DisplayBitmap : public HostResource {
 public:
  QImage image;
};

}  // namespace pellux
