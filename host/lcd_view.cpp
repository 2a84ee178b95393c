#include "host/lcd_view.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "host/display_image.h"

namespace pellux {

LcdView::LcdView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);  // every paint covers the whole view
  setFocusPolicy(Qt::NoFocus);            // the keys stay with the window
  SetZoom(zoom_);
}

void LcdView::SetZoom(int zoom) {
  zoom_ = std::clamp(zoom, kMinZoom, kMaxZoom);
  if (!fullScreen_) setFixedSize(ScaledWidth(zoom_), ScaledHeight(zoom_));
  update();
}

void LcdView::SetFullScreen(bool on) {
  fullScreen_ = on;
  if (on) {
    setMinimumSize(ScaledWidth(1), ScaledHeight(1));
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  } else {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFixedSize(ScaledWidth(zoom_), ScaledHeight(zoom_));
  }
  update();
}

void LcdView::ShowFrame(const std::array<std::uint8_t, kLcdFrameBytes>& frame) {
  picture_.grey = false;
  picture_.frame = frame;
  update();
}

void LcdView::ShowPicture(const LcdPicture& picture) {
  picture_ = picture;
  update();
}

int LcdView::DeviceScale() const {
  const qreal ratio = devicePixelRatioF();
  if (!fullScreen_) return std::max(1, static_cast<int>(std::floor(zoom_ * ratio)));
  const int byWidth = static_cast<int>(std::floor(width() * ratio)) / ScaledWidth(1);
  const int byHeight = static_cast<int>(std::floor(height() * ratio)) / ScaledHeight(1);
  return std::max(1, std::min(byWidth, byHeight));
}

QRect LcdView::DeviceLcdRect() const {
  const int scale = DeviceScale();
  const qreal ratio = devicePixelRatioF();
  const QSize lcd(ScaledWidth(scale), ScaledHeight(scale));
  const QSize area(static_cast<int>(std::floor(width() * ratio)),
                   static_cast<int>(std::floor(height() * ratio)));
  return QRect(
      QPoint(std::max(0, (area.width() - lcd.width()) / 2), std::max(0, (area.height() - lcd.height()) / 2)),
      lcd);
}

void LcdView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!fullScreen_) {
    if (bitmap_) {
      DrawLcd(painter, picture_, zoom_, devicePixelRatioF(), *bitmap_);
    } else {
      painter.fillRect(rect(), Qt::white);
    }
    return;
  }
  const int scale = DeviceScale();
  const qreal ratio = devicePixelRatioF();
  const QRect lcd = DeviceLcdRect();
  if (picture_.grey) {
    QImage grey = GreyImage(picture_.levels, scale);
    painter.fillRect(rect(), Qt::black);
    if (grey.isNull()) return;
    grey.setDevicePixelRatio(ratio);
    painter.drawImage(QPointF(lcd.x() / ratio, lcd.y() / ratio), grey);
    return;
  }
  if (fullScreenImage_.width() != ScaledWidth(scale) || fullScreenImage_.height() != ScaledHeight(scale)) {
    fullScreenImage_ = QImage(ScaledWidth(scale), ScaledHeight(scale), QImage::Format_Mono);
    if (fullScreenImage_.isNull() ||
        static_cast<std::size_t>(fullScreenImage_.bytesPerLine()) != ScaledStride(scale)) {
      fullScreenImage_ = QImage();
      painter.fillRect(rect(), Qt::black);  // no room for the image: a dark screen
      return;
    }
    fullScreenImage_.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
  }
  fullScreenImage_.fill(0);
  ScaleFrame(picture_.frame.data(), fullScreenImage_.bits(), scale);
  fullScreenImage_.setDevicePixelRatio(ratio);
  painter.fillRect(rect(), Qt::black);
  painter.drawImage(QPointF(lcd.x() / ratio, lcd.y() / ratio), fullScreenImage_);
}

namespace {

// Draws an image of whole device pixels one to one, centred in the LCD's
// area on white (a fractional scale leaves a margin).
void DrawCentred(QPainter& painter, QImage& device, int zoom, qreal ratio) {
  device.setDevicePixelRatio(ratio);
  const QSizeF area(ScaledWidth(zoom), ScaledHeight(zoom));
  painter.fillRect(QRectF(QPointF(0, 0), area), Qt::white);
  const QPointF deviceOffset(std::floor((area.width() * ratio - device.width()) / 2),
                             std::floor((area.height() * ratio - device.height()) / 2));
  painter.drawImage(deviceOffset / ratio, device);
}

}  // namespace

void DrawLcd(QPainter& painter, const std::uint8_t* frame, int zoom, qreal ratio, QImage& scaled) {
  const qreal devicePerLcdPixel = zoom * ratio;
  if (devicePerLcdPixel == std::floor(devicePerLcdPixel)) {
    if (scaled.width() != ScaledWidth(zoom) || scaled.height() != ScaledHeight(zoom) ||
        static_cast<std::size_t>(scaled.bytesPerLine()) != ScaledStride(zoom)) {
      return;
    }
    scaled.fill(0);
    ScaleFrame(frame, scaled.bits(), zoom);
    // A whole number of device pixels per logical one (the application
    // rounds the screen's scale): Qt's nearest-pixel scaling keeps squares.
    painter.drawImage(QRect(0, 0, scaled.width(), scaled.height()), scaled);
    return;
  }
  // A fractional scale the user forced: squares of as many whole device
  // pixels as fit, drawn one to one and centred on white.
  const int side = std::max(1, static_cast<int>(devicePerLcdPixel));
  QImage device(ScaledWidth(side), ScaledHeight(side), QImage::Format_Mono);
  if (device.isNull() || static_cast<std::size_t>(device.bytesPerLine()) != ScaledStride(side)) return;
  device.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
  device.fill(0);
  ScaleFrame(frame, device.bits(), side);
  DrawCentred(painter, device, zoom, ratio);
}

QImage GreyImage(const LcdLevels& levels, int side) {
  QImage unscaled(static_cast<int>(kLcdWidth), static_cast<int>(kLcdHeight), QImage::Format_Grayscale8);
  if (unscaled.isNull()) return unscaled;
  for (int y = 0; y < unscaled.height(); ++y) {
    std::uint8_t* row = unscaled.scanLine(y);
    const std::uint8_t* source = &levels[static_cast<std::size_t>(y) * kLcdWidth];
    for (std::uint32_t x = 0; x < kLcdWidth; ++x) row[x] = static_cast<std::uint8_t>(255 - source[x]);
  }
  if (side == 1) return unscaled;
  // Nearest-pixel scaling by a whole factor: every pixel an exact square.
  return unscaled.scaled(ScaledWidth(side), ScaledHeight(side), Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

void DrawLcd(QPainter& painter, const LcdPicture& picture, int zoom, qreal ratio, QImage& scaled) {
  if (!picture.grey) {
    DrawLcd(painter, picture.frame.data(), zoom, ratio, scaled);
    return;
  }
  // Squares of as many whole device pixels as fit, drawn one to one; a
  // fractional scale leaves a white margin around them, as above.
  const int side = std::max(1, static_cast<int>(std::floor(zoom * ratio)));
  QImage device = GreyImage(picture.levels, side);
  if (device.isNull()) return;
  DrawCentred(painter, device, zoom, ratio);
}

}  // namespace pellux
