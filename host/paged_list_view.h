// A list that shows a window onto something longer than itself (a listing,
// memory): as many lines as fit, moved by whole lines with the wheel, the
// arrows at its edges and the page keys, and refilled when resized.
#pragma once

#include <QListWidget>

namespace pellux {

class PagedListView : public QListWidget {
 public:
  using QListWidget::QListWidget;

  // Lines again from the same start.
  virtual void Refill() = 0;
  // Moves the window down (positive) or up by whole lines, and refills.
  virtual void ScrollLines(int lines) = 0;

  // The height of one line in the list's font, in pixels.
  int RowHeight();

 protected:
  // How many whole lines the box shows.
  int LinesThatFit();
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  int rowHeight_ = 0;  // 0 until measured in the current font
};

}  // namespace pellux
