// The "Breakpoints" dialog: a hex address to enter, the set listed in
// ascending order, and Add/Remove to toggle the entered address.
#pragma once

#include <QDialog>

#include "cpu/breakpoint_set.h"

class QFont;
class QLineEdit;
class QListWidget;

namespace pellux {

class BreakpointsDialog : public QDialog {
 public:
  // Edits `breakpoints` directly; `listFont` is the debugger's listing font.
  BreakpointsDialog(QWidget* owner, BreakpointSet& breakpoints, const QFont& listFont);

 private:
  // Toggles the address in the edit (nothing when it parses to 0) and
  // refills the list at the same top row.
  void AddRemove();
  // One "%.8x" line per address, each carrying its address as item data.
  void FillList();
  // The selected address into the edit, so that Add/Remove removes it.
  void ShowSelected();

  BreakpointSet& breakpoints_;
  QLineEdit* address_;
  QListWidget* list_;
};

}  // namespace pellux
