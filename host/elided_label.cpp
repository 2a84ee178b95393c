#include "host/elided_label.h"

#include <algorithm>

namespace pellux {

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ElidedLabel::SetWholeText(const QString& text) {
  whole_ = text;
  setToolTip(text);
  Elide();
}

QSize ElidedLabel::minimumSizeHint() const {
  return QSize(fontMetrics().horizontalAdvance(QStringLiteral("W\u2026W")),
               QLabel::minimumSizeHint().height());
}

QSize ElidedLabel::sizeHint() const { return minimumSizeHint(); }

void ElidedLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Elide();
}

void ElidedLabel::Elide() {
  const int room = contentsRect().width() - 2 * margin();
  setText(fontMetrics().elidedText(whole_, Qt::ElideMiddle, std::max(room, 0)));
}

}  // namespace pellux
