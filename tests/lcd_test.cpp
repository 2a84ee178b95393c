// Taking the LCD frame out of RAM, and the repaint check.
#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace pellux {
namespace {

TEST(LcdFrame, CopiesFromLcdBaseAndWrapsAtTheEndOfRam) {
  test::CalculatorFixture f;
  Calculator& m = *f.calc;
  for (std::uint32_t i = 0; i < kRamSize; ++i) m.ram[i] = static_cast<std::uint8_t>(i ^ (i >> 8) ^ (i >> 16));
  std::uint8_t frame[kLcdFrameBytes];
  for (const std::uint32_t base : {0x4C00u, 0x3F100u, 0x3F108u, 0x7FFF8u}) {
    m.lcdBase = base;
    m.GetLcdFrame(frame);
    for (std::uint32_t i = 0; i < kLcdFrameBytes; ++i) {
      ASSERT_EQ(frame[i], m.ram[(base + i) & (kRamSize - 1)]) << std::hex << base << " byte " << i;
    }
  }
}

TEST(LcdFrame, PublishesOnlyAChangedFrame) {
  test::CalculatorFixture f;
  Calculator& m = *f.calc;
  m.RefreshDisplay();  // the first check may or may not differ from the unset copy
  const auto afterFirst = m.frameSerial;
  m.RefreshDisplay();
  EXPECT_EQ(m.frameSerial, afterFirst) << "an unchanged frame was published";
  m.ram[m.lcdBase + kLcdFrameBytes - 1] ^= 1;  // the last pixel of the frame
  m.RefreshDisplay();
  EXPECT_EQ(m.frameSerial, afterFirst + 1);
  EXPECT_EQ(m.lastFrame[kLcdFrameBytes - 1], m.ram[m.lcdBase + kLcdFrameBytes - 1]);
  m.ram[m.lcdBase + kLcdFrameBytes] ^= 1;  // just past it
  m.RefreshDisplay();
  EXPECT_EQ(m.frameSerial, afterFirst + 1);
}

}  // namespace
}  // namespace pellux
