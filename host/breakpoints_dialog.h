// The "Breakpoints" dialog: an address to enter (hex or a symbol), the set
// listed in ascending order with each address's symbol, and Add/Remove to
// toggle the entered address. Input that names no address is refused with a
// message in the dialog; an address the processor would hardly stop at
// (odd, beyond 24 bits) is added with a warning there.
#pragma once

#include <QDialog>

#include "cpu/breakpoint_set.h"

class QFont;
class QLabel;
class QLineEdit;
class QListWidget;

namespace pellux {

class SymbolTable;

class BreakpointsDialog : public QDialog {
 public:
  // Edits `breakpoints` directly; `listFont` is the debugger's listing font.
  BreakpointsDialog(QWidget* owner, BreakpointSet& breakpoints, const QFont& listFont, const SymbolTable& symbols);

 private:
  // Toggles the address in the edit, or says why the text names none, and
  // refills the list at the same top row; an add empties the edit.
  void AddRemove();
  // One "%.8x" line per address, with its symbol, each carrying its address
  // as item data.
  void FillList();
  // The selected address into the edit, so that Add/Remove removes it.
  void ShowSelected();

  BreakpointSet& breakpoints_;
  const SymbolTable& symbols_;
  QLineEdit* address_;
  QListWidget* list_;
  QLabel* message_;
};

}  // namespace pellux
