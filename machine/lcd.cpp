// The 240 x 128 LCD, read straight out of RAM at lcdBase: 128 rows of 30
// bytes, top row first, most significant bit leftmost, 1 = dark.
#include <cstring>

#include "machine/calculator.h"

namespace pellux {

void Calculator::GetLcdFrame(std::uint8_t* destination) const {
  const std::uint32_t base = lcdBase & (kRamSize - 1);
  const std::uint32_t untilEnd = kRamSize - base;
  if (untilEnd >= kLcdFrameBytes) {
    std::memcpy(destination, &ram[base], kLcdFrameBytes);
  } else {
    // The frame runs past the end of RAM and continues at its start.
    std::memcpy(destination, &ram[base], untilEnd);
    std::memcpy(destination + untilEnd, &ram[0], kLcdFrameBytes - untilEnd);
  }
}

std::array<std::uint8_t, kLcdFrameBytes> Calculator::LcdFrame() const {
  std::array<std::uint8_t, kLcdFrameBytes> frame;
  GetLcdFrame(frame.data());
  return frame;
}

void Calculator::RefreshDisplay() {
  std::uint8_t frame[kLcdFrameBytes];
  GetLcdFrame(frame);
  // A change of the grey picture publishes too, its frame in RAM unchanged.
  const bool greyChanged = PublishBlend(lcdBlend, BlendSamples(lcdBlend));
  if (std::memcmp(frame, lastFrame.data(), kLcdFrameBytes) == 0) {
    if (greyChanged) ++frameSerial;
    return;
  }
  std::memcpy(lastFrame.data(), frame, kLcdFrameBytes);
  ++frameSerial;
}

LcdPicture Calculator::Picture() const {
  LcdPicture picture;
  GetLcdFrame(picture.frame.data());
  picture.grey = lcdBlend.grey;
  if (picture.grey) std::memcpy(picture.levels.data(), lcdBlend.levels.data(), kLcdPixels);
  return picture;
}

}  // namespace pellux
