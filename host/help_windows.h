// The Help menu's windows: the PC keys and the calculator keys they press,
// and About Pellux. Both are modeless, so the calculator can be used while
// they stay open.
#pragma once

#include <QDialog>

namespace pellux {

class KeypadView;

// The keypad with the PC keys of the host key table written on the
// calculator's keys, plus the keys the window itself handles.
class KeysWindow : public QDialog {
 public:
  explicit KeysWindow(QWidget* parent);
  KeypadView* keypad() const { return keypad_; }

 private:
  KeypadView* keypad_;
};

// The program's name, version, purpose and licence.
class AboutWindow : public QDialog {
 public:
  explicit AboutWindow(QWidget* parent);
  // What the window says, as plain text.
  QString Text() const;

 private:
  QString html_;
};

}  // namespace pellux
