// A line of text that never widens its window: cut in the middle where it
// does not fit, whole in its tooltip.
#pragma once

#include <QLabel>

namespace pellux {

// "Screenshot saved to /home/...x.png": it asks for the room of a few
// characters only, and takes what the layout gives it.
class ElidedLabel : public QLabel {
 public:
  explicit ElidedLabel(QWidget* parent);
  void SetWholeText(const QString& text);
  const QString& wholeText() const { return whole_; }
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Elide();
  QString whole_;
};

}  // namespace pellux
