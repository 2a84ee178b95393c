#include "host/show_error.h"

#include <QMessageBox>

#include "machine/errors.h"

namespace pellux {

void ShowError(const ErrMsg& error, QWidget* owner) {
  // The flags name an icon in bits 4-7; the error icon is the only one used.
  const QMessageBox::Icon icon =
      (error.flags & 0xF0) == kMessageBoxError ? QMessageBox::Critical : QMessageBox::NoIcon;
  QMessageBox box(icon, QString::fromUtf8(StringText(error.captionId)), QString::fromUtf8(StringText(error.textId)),
                  QMessageBox::Ok, owner);
  box.exec();
}

}  // namespace pellux
