// The "Debug" dialog: why the machine stopped, the disassembly, the
// registers, the memory, Break on keypress, and the commands: Step, Step
// Over, Step Out, Run to Cursor, Breakpoint and Go. While it is open the
// machine stands still but for what the commands run.
#pragma once

#include <QDialog>
#include <QFont>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "cpu/cpu_state.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace pellux {

class Calculator;
class ElidedLabel;
class ListingView;
class MemoryView;
class RegisterView;
class DebugTarget;
struct DebugSession;
struct DebugStop;

class DebugDialog : public QDialog {
 public:
  // The session gives the symbols, the registers of the last stop and why
  // the machine stopped; a dialog made without one keeps its own.
  DebugDialog(QWidget* owner, Calculator& calc, bool breakOnKeypress, DebugSession* session = nullptr);
  ~DebugDialog() override;

  // The check box, for the window's flag once the dialog has ended.
  bool BreakOnKeypress() const;

  // Every view again, the listing from the PC.
  void RefreshViews();

  // Another debugger (gdb) holds the machine: the dialog shows its stops and
  // neither runs the machine nor changes it (no commands, no edits; Go only
  // closes the dialog) until it is told otherwise.
  void SetHeldElsewhere(bool held);
  bool heldElsewhere() const { return heldElsewhere_; }
  // The machine moved while the dialog was open: why it stopped now, and the
  // registers before, for the marks.
  void ShowStop(const DebugStop& reason, const CpuState& before);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // Runs a stepping command and shows where and why it stopped.
  void RunCommand(const std::function<DebugStop(DebugTarget&)>& command);
  void RunToCursor();
  void OpenBreakpoints();
  // The address typed in an edit, or none with the reason shown beside it.
  std::optional<std::uint32_t> EnteredAddress(const QLineEdit& edit, ElidedLabel& error);
  void GoToListingAddress();
  void GoToMemoryAddress();
  void FollowRegister(int choice);
  void ShowMessage(const QString& text);

  Calculator& calc_;
  std::unique_ptr<DebugSession> ownSession_;
  DebugSession& session_;
  CpuState previous_;  // the registers at the last stop, for the marks
  QFont listFont_;
  QLabel* stopReason_;
  QLabel* message_;
  QLineEdit* listingAddress_;
  QLineEdit* memoryAddress_;
  ElidedLabel* listingError_;  // why the listing's go-to found no address
  ElidedLabel* memoryError_;
  QComboBox* follow_;
  ListingView* listing_;
  RegisterView* registers_;
  MemoryView* memory_;
  QCheckBox* breakOnKeypress_;
  std::vector<QPushButton*> commands_;  // what runs the machine
  QPushButton* go_ = nullptr;
  bool heldElsewhere_ = false;
};

}  // namespace pellux
