// The Debug dialog's memory: 16 bytes a line in hex and as characters, read
// without side effects (ports and the flash's command state stay as they
// are). Scrolled with the wheel, the arrows and the page keys; it can follow
// an address register; a double-click edits a line's bytes in RAM.
#pragma once

#include <QListWidget>
#include <cstdint>
#include <functional>
#include <optional>

namespace pellux {

class Calculator;

class MemoryView : public QListWidget {
 public:
  // `message` shows a refusal to the user (an empty text clears it).
  MemoryView(QWidget* parent, Calculator& calc, std::function<void(const QString&)> message);

  // Lists from the line that holds the address, and stops following.
  void ShowFrom(std::uint32_t address);
  // Follows an address register (0..7) from now on, or none.
  void Follow(std::optional<unsigned> addressRegister);
  std::uint32_t start() const { return start_; }
  // Lines again: after a step, a followed register's new value.
  void Refill();
  void ScrollLines(int lines);
  // The height of one line in the view's font, in pixels.
  int RowHeight();

  static constexpr int kAddressRole = Qt::UserRole;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  int LinesThatFit() const;
  // Writes the edited bytes of the line at `address`.
  void WriteLine(std::uint32_t address, const QString& text);

  Calculator& calc_;
  std::function<void(const QString&)> message_;
  std::uint32_t start_ = 0;
  std::optional<unsigned> follow_;
  int itemHeight_ = 1;
};

}  // namespace pellux
