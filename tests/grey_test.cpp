// Grey on the LCD: what the eye sees when a program switches the LCD
// between planes faster than its liquid crystal can follow.
#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string_view>
#include <vector>

#include "tests/png_reader.h"
#include "tests/test_support.h"
#include "tools/headless_session.h"
#include "tools/lcd_image.h"

namespace pellux {
namespace {

using namespace test;
using namespace test::asm68k;

// The darkness a pixel of a two-plane picture is seen with, by the planes
// it is dark in, through the PNG's grey (0 black).
struct Seen {
  unsigned x;
  const char* planes;
  unsigned grey;
};

TEST(Grey, APlaneSwitchingProgramGivesThreeLevelsInItsScreenshot) {
  HeadlessSession session(TwoPlaneRom(true).bytes(), Pacing::Manual);
  session.RunUntil(512);  // half a second
  ASSERT_EQ(session.calculator().ram[kPlaneA], 0xCC) << "the planes were drawn";
  const LcdPicture picture = session.Picture();
  ASSERT_TRUE(picture.grey);

  const Result<StoredPng> png = ReadStoredPng(EncodePng(picture, 1));
  ASSERT_TRUE(png.ok()) << png.message();
  EXPECT_EQ(png->width, 240u);
  EXPECT_EQ(png->height, 128u);
  EXPECT_EQ(png->depth, 8u) << "8-bit grey";
  EXPECT_EQ(png->colourType, 0u);

  std::set<unsigned> values;
  for (std::uint32_t y = 0; y < 128; ++y) {
    for (std::uint32_t x = 0; x < 240; ++x) values.insert(png->Grey(x, y));
  }
  EXPECT_EQ(values, (std::set<unsigned>{0, 127, 255}));
  // Each plane shown half the time: a pixel dark in one plane is mid grey.
  const Seen seen[] = {{0, "both", 0}, {1, "A only", 127}, {2, "B only", 127}, {3, "neither", 255}};
  for (const std::uint32_t y : {0u, 77u, 127u}) {
    for (const Seen& s : seen) {
      EXPECT_EQ(png->Grey(s.x + 232, y), s.grey) << s.planes << " on row " << y;
    }
  }

  // At 3X each LCD pixel is a 3 x 3 square of its grey.
  const Result<StoredPng> large = ReadStoredPng(EncodePng(picture, 3));
  ASSERT_TRUE(large.ok()) << large.message();
  ASSERT_EQ(large->width, 720u);
  for (const Seen& s : seen) {
    for (std::uint32_t dy = 0; dy < 3; ++dy) {
      for (std::uint32_t dx = 0; dx < 3; ++dx) EXPECT_EQ(large->Grey(3 * s.x + dx, 30 + dy), s.grey) << s.planes;
    }
  }
}

TEST(Grey, ABlackAndWhiteProgramStaysTwoValuedAndKeepsItsOneBitScreenshot) {
  HeadlessSession session(TwoPlaneRom(false).bytes(), Pacing::Manual);
  for (const std::int64_t tick : {40, 512}) {
    session.RunUntil(tick);  // while it draws, and long after
    const LcdPicture picture = session.Picture();
    EXPECT_FALSE(picture.grey) << "at tick " << tick;
    EXPECT_EQ(EncodePng(picture, 1), EncodePng(session.Frame(), 1)) << "the 1-bit PNG, byte for byte";
  }
  const Result<StoredPng> png = ReadStoredPng(EncodePng(session.Picture(), 1));
  ASSERT_TRUE(png.ok()) << png.message();
  EXPECT_EQ(png->depth, 1u);
  EXPECT_EQ(png->Grey(0, 5), 0u) << "dark in plane A";
  EXPECT_EQ(png->Grey(2, 5), 255u);
}

// The blend, tick by tick: the frame in RAM set before each tick, the
// picture published every 16th tick.
TEST(Grey, TheBlendFollowsWhatTheFramesDid) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> pattern;  // the first byte of the frame, tick after tick, repeated
    std::optional<std::uint8_t> after;  // the byte from tick 65 on, if not the pattern
    unsigned shownAt96;                 // darkness of the first pixel at tick 96
    bool greyAt96;
  };
  const std::vector<Case> cases = {
      {"steady dark", {0x80}, {}, 255, false},
      {"two planes each for 4 ticks", {0x80, 0x80, 0x80, 0x80, 0, 0, 0, 0}, {}, 128, true},
      {"light 4 ticks, dark 8", {0, 0, 0, 0, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80}, {}, 170, true},
      {"two planes at every tick", {0x80, 0}, {}, 128, true},
      {"switching, then dark: settled by the check at 96", {0x80, 0}, 0x80, 255, false},
      {"switching, then light", {0x80, 0}, 0x00, 0, false},
      {"dark, drawn light once at tick 90: no grey on the way", {0x80}, {}, 0, false},
  };
  for (const Case& c : cases) {
    CalculatorFixture f(NopRom());
    Calculator& m = *f.calc;
    m.cpu.intMask = 7;
    m.ports[port::kTimerControl] = 0x01;
    for (std::uint32_t tick = 1; tick <= 96; ++tick) {
      std::uint8_t byte = c.after && tick > 64 ? *c.after : c.pattern[(tick - 1) % c.pattern.size()];
      if (std::string_view(c.what).starts_with("dark, drawn") && tick >= 90) byte = 0;
      m.ram[m.lcdBase] = byte;
      m.TimerTick();
    }
    const LcdPicture picture = m.Picture();
    EXPECT_EQ(picture.grey, c.greyAt96) << c.what;
    const unsigned shown = picture.grey ? picture.levels[0] : (picture.frame[0] & 0x80 ? 255u : 0u);
    EXPECT_EQ(shown, c.shownAt96) << c.what;
    if (picture.grey) {
      EXPECT_EQ(picture.levels[1], 0) << c.what << ": a pixel never dark stays white";
    }
  }
}

}  // namespace
}  // namespace pellux
