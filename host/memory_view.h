// The Debug dialog's memory: 16 bytes a line in hex and as characters, read
// without side effects (ports and the flash's command state stay as they
// are). Scrolled with the wheel, the arrows and the page keys; it can follow
// an address register; a double-click edits a line's bytes in RAM.
#pragma once

#include "host/paged_list_view.h"
#include <cstdint>
#include <functional>
#include <optional>

namespace pellux {

class Calculator;

class MemoryView : public PagedListView {
 public:
  // `message` shows a refusal to the user (an empty text clears it).
  MemoryView(QWidget* parent, Calculator& calc, std::function<void(const QString&)> message);

  // Lists from the line that holds the address, and stops following.
  void ShowFrom(std::uint32_t address);
  // Follows an address register (0..7) from now on, or none.
  void Follow(std::optional<unsigned> addressRegister);
  std::uint32_t start() const { return start_; }
  // Lines again: after a step, a followed register's new value.
  void Refill() override;
  // Scrolling stops following.
  void ScrollLines(int lines) override;

  static constexpr int kAddressRole = Qt::UserRole;

 private:
  // Writes the edited bytes of the line at `address`.
  void WriteLine(std::uint32_t address, const QString& text);

  Calculator& calc_;
  std::function<void(const QString&)> message_;
  std::uint32_t start_ = 0;
  std::optional<unsigned> follow_;
};

}  // namespace pellux
