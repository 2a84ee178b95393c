// The window's drawing resources.
#pragma once

#include <QFont>
#include <QFontDatabase>
#include <QImage>

namespace pellux {

// The platform's fixed-pitch font at 10 points, so that the debugger's
// columns line up; every system Qt runs on has one.
inline QFont FixedListingFont() {
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPointSize(10);
  return font;
}

// The display at the current zoom as a 1-bit image (colour 0 white, 1
// black): made when the zoom changes, which tests that the host can afford
// the size, and refilled from the LCD frame at every paint.
struct DisplayBitmap {
  QImage image;
};

}  // namespace pellux
