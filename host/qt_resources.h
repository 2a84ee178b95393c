// The window's drawing resources.
#pragma once

#include <QImage>

namespace pellux {

// The display at the current zoom as a 1-bit image (colour 0 white, 1
// black): made when the zoom changes, which tests that the host can afford
// the size, and refilled from the LCD frame at every paint.
struct DisplayBitmap {
  QImage image;
};

}  // namespace pellux
