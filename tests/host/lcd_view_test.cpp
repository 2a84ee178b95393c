// The LCD view: exactly the zoom's size in the window, the largest whole
// factor centred on black in full screen, every LCD pixel a square.
#include "host/lcd_view.h"

#include <gtest/gtest.h>

#include <QImage>

namespace pellux {
namespace {

std::array<std::uint8_t, kLcdFrameBytes> PatternFrame() {
  std::array<std::uint8_t, kLcdFrameBytes> frame{};
  for (std::size_t i = 0; i < frame.size(); ++i)
    frame[i] = static_cast<std::uint8_t>((i * 37) ^ (i >> 3) ^ 0x5A);
  return frame;
}

bool Dark(const std::array<std::uint8_t, kLcdFrameBytes>& frame, int x, int y) {
  return frame[static_cast<std::size_t>(y * 30 + x / 8)] & (0x80 >> (x % 8));
}

// Pixels of the picture that are not what they should be: the LCD at
// `scale` from `origin`, `around` everywhere else.
int PixelsOff(const QImage& picture, const std::array<std::uint8_t, kLcdFrameBytes>& frame, QPoint origin,
              int scale, QRgb around) {
  int off = 0;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      const int lx = x - origin.x(), ly = y - origin.y();
      QRgb expected = around;
      if (lx >= 0 && ly >= 0 && lx < 240 * scale && ly < 128 * scale) {
        expected = Dark(frame, lx / scale, ly / scale) ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
      }
      if ((picture.pixel(x, y) & 0xFFFFFF) != (expected & 0xFFFFFF)) ++off;
    }
  }
  return off;
}

TEST(LcdView, InTheWindowIsExactlyTheZoomsSize) {
  const auto frame = PatternFrame();
  LcdView view(nullptr);
  view.ShowFrame(frame);
  for (int zoom : {1, 3, 5}) {
    // The window's display bitmap for the zoom, which the view draws through.
    QImage bitmap(240 * zoom, 128 * zoom, QImage::Format_Mono);
    bitmap.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    view.SetDisplayBitmap(&bitmap);
    view.SetZoom(zoom);
    EXPECT_EQ(view.size(), QSize(240 * zoom, 128 * zoom));
    const QImage picture = view.grab().toImage();
    ASSERT_EQ(picture.size(), QSize(240 * zoom, 128 * zoom));
    EXPECT_EQ(PixelsOff(picture, frame, {0, 0}, zoom, qRgb(255, 0, 0)), 0) << zoom;
    view.SetDisplayBitmap(nullptr);
  }
}

TEST(LcdView, FullScreenTakesTheLargestWholeFactorCentredOnBlack) {
  const auto frame = PatternFrame();
  LcdView view(nullptr);
  view.ShowFrame(frame);
  view.SetFullScreen(true);
  const struct {
    QSize screen;
    int scale;
  } cases[] = {{{1000, 700}, 4}, {{1280, 640}, 5}, {{300, 200}, 1}, {{1920, 1080}, 8}};
  for (const auto& c : cases) {
    view.resize(c.screen);
    ASSERT_EQ(view.size(), c.screen);
    EXPECT_EQ(view.DeviceScale(), c.scale) << c.screen.width();
    const QPoint origin((c.screen.width() - 240 * c.scale) / 2, (c.screen.height() - 128 * c.scale) / 2);
    EXPECT_EQ(PixelsOff(view.grab().toImage(), frame, origin, c.scale, qRgb(0, 0, 0)), 0) << c.screen.width();
  }
  view.SetFullScreen(false);
  EXPECT_EQ(view.size(), QSize(720, 384)) << "back to the zoom's size";
}

}  // namespace
}  // namespace pellux
