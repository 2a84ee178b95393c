#include "host/keypad_view.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

#include "host/display_image.h"
#include "host/host_key_names.h"

namespace pellux {

namespace {

// A row is this many key widths high: the key and the 2nd label above it.
constexpr qreal kRowHeight = 1.2;
constexpr qreal kGap = 0.08;         // between keys, in key widths
constexpr qreal kSecondBand = 0.32;  // of a row, for the 2nd label

const QColor kBackground(0x2b, 0x2f, 0x36);
const QColor kSecondColour(0xf2, 0xb1, 0x3a);  // 2nd functions, and the 2nd key
const QColor kDiamondColour(0x4c, 0xaf, 0x6a);
const QColor kHeldOutline(0xff, 0x8c, 0x1a);
const QColor kLitColour(0x9c, 0xcc, 0xf4);  // a key the machine holds down

struct Colours {
  QColor body;
  QColor text;
};

Colours ColoursOf(const KeypadKey& key) {
  if (key.code == 0) return {kSecondColour, Qt::black};
  if (key.code == 1) return {kDiamondColour, Qt::black};
  switch (key.style) {
    case KeyStyle::Letter:
      return {QColor(0x4d, 0x52, 0x5b), Qt::white};
    case KeyStyle::Function:
      return {QColor(0x5a, 0x6c, 0x86), Qt::white};
    case KeyStyle::Modifier:
      return {QColor(0x4d, 0x52, 0x5b), Qt::white};
    case KeyStyle::Number:
      return {QColor(0xdc, 0xdc, 0xd8), Qt::black};
    case KeyStyle::Operator:
      return {QColor(0x3c, 0x40, 0x46), Qt::white};
    case KeyStyle::Arrow:
      return {QColor(0x6b, 0x71, 0x7b), Qt::white};
    case KeyStyle::On:
      return {QColor(0x9a, 0x33, 0x2e), Qt::white};
  }
  return {Qt::gray, Qt::black};
}

// The text in the box, on as many lines as it has, at the given pixel size
// or smaller so that it fits.
void DrawFitted(QPainter& painter, const QRectF& box, const QString& text, qreal pixelSize, bool bold) {
  QFont font = painter.font();
  font.setBold(bold);
  font.setPixelSize(std::max(1, static_cast<int>(pixelSize)));
  painter.setFont(font);
  const QRectF needed = painter.boundingRect(QRectF(0, 0, 1e6, 1e6), Qt::AlignLeft | Qt::AlignTop, text);
  const qreal fit = std::min({1.0, box.width() / std::max<qreal>(1, needed.width()),
                              box.height() / std::max<qreal>(1, needed.height())});
  if (fit < 1.0) {
    font.setPixelSize(std::max(1, static_cast<int>(pixelSize * fit)));
    painter.setFont(font);
  }
  painter.drawText(box, Qt::AlignCenter, text);
}

QString PcKeysText(unsigned code, const QString& separator) {
  QStringList names;
  for (const std::string& name : PcKeyNamesOf(code)) names << QString::fromStdString(name);
  return names.join(separator);
}

}  // namespace

KeypadView::KeypadView(QWidget* parent, Labels labels) : QWidget(parent), labels_(labels) {
  setFocusPolicy(Qt::NoFocus);  // the keys stay with the window
  setAttribute(Qt::WA_OpaquePaintEvent);
  SetZoom(zoom_);
}

QSize KeypadView::SizeAtZoom(int zoom) {
  const int unit = 10 * std::clamp(zoom, 2, kMaxZoom);
  return {static_cast<int>(kKeypadWidthUnits) * unit,
          static_cast<int>(kKeypadHeightRows * kRowHeight * unit)};
}

void KeypadView::SetZoom(int zoom) {
  zoom_ = std::clamp(zoom, kMinZoom, kMaxZoom);
  setFixedSize(SizeAtZoom(zoom_));
  update();
}

qreal KeypadView::Unit() const { return width() / static_cast<qreal>(kKeypadWidthUnits); }

QRectF KeypadView::KeyRect(const KeypadKey& key) const {
  const qreal unit = Unit();
  const qreal row = unit * kRowHeight;
  return {key.x * unit, key.y * row, key.width * unit, key.height * row};
}

void KeypadView::ForgetHeld() {
  held_.clear();
  clicked_.reset();
  update();
}

const KeypadKey* KeypadView::KeyAt(QPointF point) const {
  for (const KeypadKey& key : kKeypadKeys) {
    if (KeyRect(key).contains(point)) return &key;
  }
  return nullptr;
}

void KeypadView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.fillRect(rect(), kBackground);
  // The cursor pad's disc behind its four keys.
  const KeypadKey* up = KeypadKeyOf(5);
  const KeypadKey* down = KeypadKeyOf(7);
  if (up && down) {
    const QRectF top = KeyRect(*up);
    const QRectF bottom = KeyRect(*down);
    const qreal radius = (bottom.bottom() - top.top()) / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x3a, 0x3e, 0x45));
    painter.drawEllipse(QPointF(top.center().x(), (top.top() + bottom.bottom()) / 2), radius, radius);
  }
  for (const KeypadKey& key : kKeypadKeys) {
    const bool down = (isDown && isDown(key.code)) || clicked_ == key.code || held_.count(key.code);
    DrawKey(painter, key, down);
  }
}

void KeypadView::DrawKey(QPainter& painter, const KeypadKey& key, bool down) const {
  const qreal unit = Unit();
  const qreal gap = kGap * unit;
  const QRectF cell = KeyRect(key).adjusted(gap / 2, gap / 2, -gap / 2, -gap / 2);
  const bool band = key.style != KeyStyle::Arrow;
  const qreal bandHeight = band ? kSecondBand * unit * kRowHeight : 0;
  QRectF body = cell.adjusted(0, bandHeight, 0, 0);
  const QString label = QString::fromUtf8(key.label);
  const Colours colours = ColoursOf(key);

  // Above the key: the 2nd function, or in the key help the calculator's label.
  const QRectF above(cell.left(), cell.top(), cell.width(), bandHeight);
  if (labels_ == Labels::PcKeys) {
    painter.setPen(QColor(0xd0, 0xd4, 0xda));
    DrawFitted(painter, above, label, bandHeight * 0.8, false);
  } else if (key.second) {
    painter.setPen(kSecondColour);
    DrawFitted(painter, above, QString::fromUtf8(key.second), bandHeight * 0.8, false);
  }

  const qreal radius = 0.14 * unit;
  if (down) body.translate(0, 0.04 * unit);
  painter.setPen(Qt::NoPen);
  if (!down) {
    painter.setBrush(QColor(0x16, 0x18, 0x1c));  // the key's shadow
    painter.drawRoundedRect(body.translated(0, 0.05 * unit), radius, radius);
  }
  painter.setBrush(down ? kLitColour : colours.body);
  painter.drawRoundedRect(body, radius, radius);
  if (held_.count(key.code)) {
    painter.setPen(QPen(kHeldOutline, std::max<qreal>(1.5, 0.07 * unit)));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(body, radius, radius);
  }

  painter.setPen(down ? QColor(Qt::black) : colours.text);
  const QRectF inside = body.adjusted(0.06 * unit, 0.02 * unit, -0.06 * unit, -0.02 * unit);
  if (labels_ == Labels::PcKeys) {
    DrawFitted(painter, inside, PcKeysText(key.code, QStringLiteral("\n")), 0.3 * unit, true);
  } else {
    DrawFitted(painter, inside, label, 0.4 * unit, true);
  }
}

void KeypadView::mousePressEvent(QMouseEvent* event) {
  const KeypadKey* key = labels_ == Labels::Calculator ? KeyAt(event->position()) : nullptr;
  if (!key) {  // and the key help's picture is only to look at
    event->ignore();
    return;
  }
  const unsigned code = key->code;
  if (event->button() == Qt::RightButton) {
    // Held until the next click on it.
    if (held_.erase(code)) {
      if (keyChanged) keyChanged(code, false);
    } else {
      held_.insert(code);
      if (keyChanged) keyChanged(code, true);
    }
  } else if (event->button() == Qt::LeftButton) {
    if (held_.erase(code)) {
      if (keyChanged) keyChanged(code, false);
    } else if (!clicked_) {
      clicked_ = code;
      if (keyChanged) keyChanged(code, true);
    }
  }
  update();
}

void KeypadView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !clicked_) return;
  const unsigned code = *clicked_;
  clicked_.reset();
  if (keyChanged) keyChanged(code, false);
  update();
}

void KeypadView::contextMenuEvent(QContextMenuEvent* event) {
  // A right click on a key holds it; elsewhere the window's menu opens.
  if (labels_ == Labels::Calculator && KeyAt(event->pos())) {
    event->accept();
  } else {
    event->ignore();
  }
}

bool KeypadView::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    const auto& help = static_cast<const QHelpEvent&>(*event);
    const KeypadKey* key = KeyAt(help.pos());
    const QString pcKeys = key ? PcKeysText(key->code, QStringLiteral(" or ")) : QString();
    if (pcKeys.isEmpty()) {
      QToolTip::hideText();
      event->ignore();
    } else {
      QToolTip::showText(help.globalPos(), ToolTipText(*key), this, KeyRect(*key).toAlignedRect());
    }
    return true;
  }
  return QWidget::event(event);
}

QString KeypadView::ToolTipText(const KeypadKey& key) {
  return QStringLiteral("%1: PC key %2")
      .arg(QString::fromUtf8(key.label), PcKeysText(key.code, QStringLiteral(" or ")));
}

}  // namespace pellux
