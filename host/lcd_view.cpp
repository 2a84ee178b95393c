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
  frame_ = frame;
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
  const int scale = DeviceScale();
  if (scaled_.width() != ScaledWidth(scale) || scaled_.height() != ScaledHeight(scale)) {
    scaled_ = QImage(ScaledWidth(scale), ScaledHeight(scale), QImage::Format_Mono);
    if (scaled_.isNull() || static_cast<std::size_t>(scaled_.bytesPerLine()) != ScaledStride(scale)) {
      scaled_ = QImage();
      painter.fillRect(rect(), Qt::white);  // no room for the image: an empty screen
      return;
    }
    scaled_.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
  }
  scaled_.fill(0);
  ScaleFrame(frame_.data(), scaled_.bits(), scale);
  const qreal ratio = devicePixelRatioF();
  scaled_.setDevicePixelRatio(ratio);
  const QRect lcd = DeviceLcdRect();
  // Around the LCD: black in full screen; in the window the view is the
  // LCD's size, and a fractional screen scale leaves a white margin.
  painter.fillRect(rect(), fullScreen_ ? Qt::black : Qt::white);
  painter.drawImage(QPointF(lcd.x() / ratio, lcd.y() / ratio), scaled_);
}

}  // namespace pellux
