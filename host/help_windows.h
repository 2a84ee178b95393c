// The Help menu's windows: the PC keys and the calculator keys they press,
// and About Pellux. Both are modeless, so the calculator can be used while
// they stay open.
#pragma once

#include <QDialog>

class QTableWidget;

namespace pellux {

// Every pair of the host key table, in the table's order (the first pair of
// a PC key is the one that counts), plus the keys the window itself handles.
class KeysWindow : public QDialog {
 public:
  explicit KeysWindow(QWidget* parent);
  QTableWidget* table() const { return table_; }

 private:
  QTableWidget* table_;
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
