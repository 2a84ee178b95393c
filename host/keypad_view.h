// The calculator's keyboard drawn under the LCD: a click presses a key and
// lets it go, a right click holds it down until the next click on it (for
// 2nd, diamond and shift combinations), and every key the machine holds,
// from the PC keyboard too, is drawn pressed. In Help > Keys the same
// picture names the PC keys on the keys.
#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <set>

#include "host/keypad_layout.h"

namespace pellux {

class KeypadView : public QWidget {
 public:
  enum class Labels { Calculator, PcKeys };
  explicit KeypadView(QWidget* parent, Labels labels = Labels::Calculator);

  // The size follows the LCD's zoom: as wide as the LCD from 2X on (at 1X as
  // at 2X, where the labels are still readable).
  void SetZoom(int zoom);
  static QSize SizeAtZoom(int zoom);

  // Whether the machine holds the key down, asked at every paint.
  std::function<bool(unsigned code)> isDown;
  // A click's press and release, for the machine's key input.
  std::function<void(unsigned code, bool down)> keyChanged;

  // Keys held down by a right click.
  const std::set<unsigned>& held() const { return held_; }
  // Every key went up (focus lost, a system key): nothing is held any more.
  void ForgetHeld();

  // Where a key is drawn, in the view's logical pixels.
  QRectF KeyRect(const KeypadKey& key) const;
  // The tooltip of a key: its label and the PC keys that press it.
  static QString ToolTipText(const KeypadKey& key);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool event(QEvent* event) override;

 private:
  const KeypadKey* KeyAt(QPointF point) const;
  void DrawKey(QPainter& painter, const KeypadKey& key, bool down) const;
  qreal Unit() const;

  Labels labels_;
  int zoom_ = 3;
  std::optional<unsigned> clicked_;  // held by the left button
  std::set<unsigned> held_;
};

}  // namespace pellux
