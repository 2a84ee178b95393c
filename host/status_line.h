// The status line under the LCD: what the machine is doing, how fast its
// time runs against real time, the ROM's file name, where the link cable
// goes, and short messages.
#pragma once

#include <QStatusBar>
#include <optional>

#include "host/elided_label.h"

namespace pellux {

enum class MachineState { Running, Asleep, Paused, InDebugger, StoppedByGdb };

class StatusLine : public QStatusBar {
 public:
  explicit StatusLine(QWidget* parent);

  // The state's name, or a longer text for it ("Stopped by gdb at 40064e
  // (CalcInput)").
  void SetState(MachineState state, const QString& text = {});
  // The speed in % of real time; nothing shows a dash (paused, in the debugger).
  void SetSpeed(std::optional<double> percent);
  void SetRomName(const QString& name);
  // Where the link cable goes when it is not the computer's side ("Linked
  // to 127.0.0.1:5000"); empty hides it.
  void SetLinkText(const QString& text);
  // A message for a few seconds ("Screenshot saved to ...", an error).
  void ShowMessage(const QString& text);
  // A message that stays until another takes its place (a problem the user
  // must not miss).
  void ShowLastingMessage(const QString& text);

  QString StateText() const;
  QString SpeedText() const;
  QString RomText() const;
  QString LinkText() const;
  // Whether the ROM's name shows (a message takes its place).
  bool RomNameShown() const;
  // The field of the messages and the ROM's name, and the state's: each
  // keeps its own place on the line.
  const ElidedLabel& textField() const { return *text_; }
  const QLabel& stateField() const { return *state_; }

 protected:
  // The messages have a field of their own: the bar draws none itself.
  void paintEvent(QPaintEvent* event) override;

 private:
  void ShowText();

  ElidedLabel* text_;  // the message, or the ROM's name when there is none
  QLabel* state_;
  QLabel* speed_;
  QLabel* link_;
  QString romName_;
};

QString StateName(MachineState state);

}  // namespace pellux
