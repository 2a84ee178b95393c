// Grey in the window: a program that switches the LCD between two planes
// at every level-1 interrupt is painted with its grey levels at every zoom
// and copied to the clipboard with them.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <set>

#include "host/lcd_view.h"
#include "host/main_window.h"
#include "tests/host/shell_fixture.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using namespace test;

// The grey a pixel of the two-plane picture is painted with (0 black), by
// the planes it is dark in: each plane is shown half the time.
struct Seen {
  int x;
  const char* planes;
  int grey;
};
constexpr Seen kSeen[] = {{0, "both", 0}, {1, "A only", 127}, {2, "B only", 127}, {3, "neither", 255}};

// The greys an image holds, each checked to be the same in its three colours.
std::set<int> Greys(const QImage& image) {
  std::set<int> greys;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb pixel = image.pixel(x, y);
      EXPECT_TRUE(qRed(pixel) == qGreen(pixel) && qGreen(pixel) == qBlue(pixel)) << x << "," << y;
      greys.insert(qRed(pixel));
    }
  }
  return greys;
}

TEST(GreyWindow, ATwoPlaneProgramIsPaintedInThreeGreysAtEveryZoomAndCopiedSo) {
  ShellFixture f(TwoPlaneRom(true).bytes());
  ASSERT_TRUE(f.created);
  while (f.calc().tickCount < 512) f.shell().Pass();  // half a second, one tick a pass
  ASSERT_TRUE(f.calc().Picture().grey);
  f.window().ShowNewFrame(true);
  ASSERT_TRUE(f.window().lcdView().picture().grey) << "the window shows the grey picture";

  for (int zoom = 1; zoom <= 5; ++zoom) {
    SCOPED_TRACE(testing::Message() << "zoom " << zoom);
    f.window().ChangeZoom(zoom);
    const QImage shot = f.window().lcdView().grab().toImage();
    ASSERT_EQ(shot.size(), QSize(240 * zoom, 128 * zoom));
    EXPECT_EQ(Greys(shot), (std::set<int>{0, 127, 255}));
    // Every LCD pixel a square of its one grey: the four of a group of
    // four pixels on a row of each plane combination.
    for (const int lcdY : {0, 64, 127}) {
      for (const Seen& s : kSeen) {
        const int lcdX = 236 + s.x;
        for (int dy = 0; dy < zoom; ++dy) {
          for (int dx = 0; dx < zoom; ++dx) {
            ASSERT_EQ(qRed(shot.pixel(lcdX * zoom + dx, lcdY * zoom + dy)), s.grey) << s.planes << " row " << lcdY;
          }
        }
      }
    }
  }

  QGuiApplication::clipboard()->clear();
  f.window().CopyScreenshot();
  const QImage copied = QGuiApplication::clipboard()->image();
  ASSERT_EQ(copied.size(), QSize(240, 128));
  EXPECT_EQ(Greys(copied), (std::set<int>{0, 127, 255}));
  for (const Seen& s : kSeen) EXPECT_EQ(qRed(copied.pixel(s.x + 40, 100)), s.grey) << s.planes;
}

TEST(GreyWindow, ABlackAndWhiteProgramIsPaintedInBlackAndWhite) {
  ShellFixture f(TwoPlaneRom(false).bytes());
  ASSERT_TRUE(f.created);
  while (f.calc().tickCount < 512) f.shell().Pass();
  f.window().ShowNewFrame(true);
  EXPECT_FALSE(f.window().lcdView().picture().grey);
  EXPECT_EQ(Greys(f.window().lcdView().grab().toImage()), (std::set<int>{0, 255}));
}

// At a screen scale the zoom does not multiply to a whole number, grey
// pixels are squares of whole device pixels too, centred on white.
TEST(GreyWindow, GreyPixelsAreSquaresOfWholeDevicePixelsAtAFractionalScale) {
  LcdPicture picture;
  picture.grey = true;
  for (std::size_t i = 0; i < picture.levels.size(); ++i) picture.levels[i] = static_cast<std::uint8_t>(i * 29 % 256);
  const qreal ratio = 1.5;
  const int zoom = 3, side = 4;
  QImage device(static_cast<int>(240 * zoom * ratio), static_cast<int>(128 * zoom * ratio), QImage::Format_RGB32);
  device.fill(Qt::red);
  device.setDevicePixelRatio(ratio);
  QImage scaled(240 * zoom, 128 * zoom, QImage::Format_Mono);
  {
    QPainter painter(&device);
    DrawLcd(painter, picture, zoom, ratio, scaled);
  }
  const int left = (device.width() - 240 * side) / 2, top = (device.height() - 128 * side) / 2;
  int off = 0;
  for (int y = 0; y < device.height(); ++y) {
    for (int x = 0; x < device.width(); ++x) {
      const int lx = x - left, ly = y - top;
      const bool inside = lx >= 0 && ly >= 0 && lx < 240 * side && ly < 128 * side;
      const int grey = inside ? 255 - picture.levels[static_cast<std::size_t>(ly / side * 240 + lx / side)] : 255;
      off += device.pixel(x, y) != qRgb(grey, grey, grey);
    }
  }
  EXPECT_EQ(off, 0);
}

}  // namespace
}  // namespace pellux
