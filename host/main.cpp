// pellux: the TI-92 Plus in a window, booted from ti92p.rom in the working
// directory.
#include <QApplication>

#include "host/shell.h"

int main(int argc, char** argv) {
  // A fractional screen scale (150 %) would make LCD pixels of uneven sizes;
  // rounded to a whole factor, each stays a square of whole device pixels.
  QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
  QApplication app(argc, argv);
  return pellux::RunPellux();
}
