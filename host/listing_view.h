// The Debug dialog's disassembly listing: from any address, as many lines as
// the box shows, scrolled with the wheel, the arrows and the page keys. The
// line at the PC is marked, symbols label the lines they start and name the
// targets of branches, and a double-click sets or clears a breakpoint.
#pragma once

#include "host/paged_list_view.h"
#include <cstdint>
#include <optional>
#include <vector>

namespace pellux {

class Calculator;
class SymbolTable;

class ListingView : public PagedListView {
 public:
  ListingView(QWidget* parent, Calculator& calc, const SymbolTable& symbols);

  // Lists from the address (made even).
  void ShowFrom(std::uint32_t address);
  std::uint32_t start() const { return start_; }
  // Lines again from the same start: new breakpoints, new PC.
  void Refill() override;
  // The address of the selected line, if a line is selected.
  std::optional<std::uint32_t> SelectedAddress() const;
  // Down or up by whole instructions.
  void ScrollLines(int lines) override;

  // Each line carries its instruction's address under this role; a label
  // line carries none.
  static constexpr int kAddressRole = Qt::UserRole;

 private:
  void ToggleBreakpoint(QListWidgetItem* item);

  Calculator& calc_;
  const SymbolTable& symbols_;
  std::uint32_t start_ = 0;
  // The starts scrolled down from, so that scrolling back retraces them.
  std::vector<std::uint32_t> earlierStarts_;
};

}  // namespace pellux
