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
  // The text of the id stands as it is; the file tried and what to do follow.
  if (!error.detail.empty()) box.setInformativeText(QString::fromStdString(error.detail));
  box.exec();
}

}  // namespace pellux
