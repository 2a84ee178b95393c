// The "Debug" dialog: the disassembly from the PC, the registers and flags,
// Break on keypress, and Step, Breakpoint and Go. While it is open the
// machine stands still but for the instruction each Step runs.
#pragma once

#include <QDialog>
#include <QFont>

class QCheckBox;
class QListWidget;

namespace pellux {

class Calculator;

class DebugDialog : public QDialog {
 public:
  DebugDialog(QWidget* owner, Calculator& calc, bool breakOnKeypress);

  // The check box, for the window's flag once the dialog has ended.
  bool BreakOnKeypress() const;

  // Both views again from the current PC.
  void RefreshViews();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // As many lines from PC & 0xFFFFFE as the listing box shows whole.
  void FillListing();
  void FillRegisters();
  void Step();
  void OpenBreakpoints();

  Calculator& calc_;
  QFont listFont_;
  QListWidget* listing_;
  QListWidget* registers_;
  QCheckBox* breakOnKeypress_;
  int itemHeight_ = 1;  // of one listing line, in pixels
};

}  // namespace pellux
