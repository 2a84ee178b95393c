#include "host/paged_list_view.h"

#include <QKeyEvent>
#include <QWheelEvent>
#include <algorithm>

namespace pellux {

namespace {

constexpr int kWheelLines = 3;  // per notch, as text views scroll
constexpr int kNotch = 120;     // the wheel's angle per notch, in eighths of a degree

}  // namespace

int PagedListView::RowHeight() {
  if (rowHeight_ <= 0) {
    clear();
    addItem(QStringLiteral("0"));
    rowHeight_ = std::max(1, sizeHintForRow(0));
    clear();
  }
  return rowHeight_;
}

int PagedListView::LinesThatFit() { return std::max(0, viewport()->height() / RowHeight()); }

void PagedListView::keyPressEvent(QKeyEvent* event) {
  const int page = std::max(1, LinesThatFit() - 1);
  const int row = currentRow();
  switch (event->key()) {
    case Qt::Key_PageDown:
      ScrollLines(page);
      return;
    case Qt::Key_PageUp:
      ScrollLines(-page);
      return;
    case Qt::Key_Down:
      if (row < 0 || row + 1 >= count()) {
        ScrollLines(1);
        if (count() > 0) setCurrentRow(count() - 1);
        return;
      }
      break;
    case Qt::Key_Up:
      if (row <= 0) {
        ScrollLines(-1);
        if (count() > 0) setCurrentRow(0);
        return;
      }
      break;
    default:
      break;
  }
  QListWidget::keyPressEvent(event);
}

void PagedListView::wheelEvent(QWheelEvent* event) {
  const int notches = event->angleDelta().y() / kNotch;
  if (notches != 0) ScrollLines(-notches * kWheelLines);
  event->accept();
}

void PagedListView::resizeEvent(QResizeEvent* event) {
  QListWidget::resizeEvent(event);
  Refill();
}

void PagedListView::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) rowHeight_ = 0;
  QListWidget::changeEvent(event);
}

}  // namespace pellux
