// The LCD on the screen: exactly zoom x 240 by zoom x 128 pixels in the
// window, or, in full screen, scaled by the largest whole factor that fits
// and centred on black. Every LCD pixel is a square of whole device pixels.
#pragma once

#include <QImage>
#include <QPainter>
#include <QWidget>
#include <array>
#include <cstdint>

#include "machine/calculator.h"

namespace pellux {

// Paints a 3840-byte LCD frame over a client area of 240 x 128 times the zoom
// (logical pixels) on a device of `ratio` device pixels per logical pixel,
// each LCD pixel an exact square of device pixels. `scaled` is the display
// bitmap: a 1-bit image of the zoom's size, refilled here.
void DrawLcd(QPainter& painter, const std::uint8_t* frame, int zoom, qreal ratio, QImage& scaled);
// The same for a picture: a grey one is drawn from its levels, each LCD pixel
// a square of whole device pixels of its grey.
void DrawLcd(QPainter& painter, const LcdPicture& picture, int zoom, qreal ratio, QImage& scaled);

// The levels as an image of greys (0 black), each LCD pixel a square of
// `side` pixels.
QImage GreyImage(const LcdLevels& levels, int side);

class LcdView : public QWidget {
 public:
  explicit LcdView(QWidget* parent);

  int zoom() const { return zoom_; }
  // The size the view keeps outside full screen.
  void SetZoom(int zoom);
  // Full screen: the view takes whatever room it is given.
  void SetFullScreen(bool on);
  bool fullScreen() const { return fullScreen_; }

  // The window's display bitmap, which the view draws through outside full
  // screen; null: nothing to draw with.
  void SetDisplayBitmap(QImage* bitmap) { bitmap_ = bitmap; }

  // Shows a new frame (3840 bytes, 1 = dark), or a picture that may hold grey.
  void ShowFrame(const std::array<std::uint8_t, kLcdFrameBytes>& frame);
  void ShowPicture(const LcdPicture& picture);
  const std::array<std::uint8_t, kLcdFrameBytes>& frame() const { return picture_.frame; }
  const LcdPicture& picture() const { return picture_; }

  // Device pixels per LCD pixel and the LCD's place in the view's device
  // pixels, as the next paint draws them.
  int DeviceScale() const;
  QRect DeviceLcdRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int zoom_ = 3;
  bool fullScreen_ = false;
  LcdPicture picture_;
  QImage* bitmap_ = nullptr;
  QImage fullScreenImage_;  // the frame at the full-screen factor, refilled at every paint
};

}  // namespace pellux
