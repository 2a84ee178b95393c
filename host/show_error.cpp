#include "host/show_error.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <cstdio>

#include "machine/errors.h"

namespace pellux {

std::string ErrorText(const ErrMsg& error) {
  std::string text = std::string("pellux: ") + StringText(error.captionId) + ": " + StringText(error.textId);
  if (!error.detail.empty()) text += "\n" + error.detail;
  return text;
}

std::unique_ptr<QMessageBox> MakeErrorBox(const ErrMsg& error, QWidget* owner) {
  // The flags name an icon in bits 4-7; the error icon is the only one used.
  const QMessageBox::Icon icon =
      (error.flags & 0xF0) == kMessageBoxError ? QMessageBox::Critical : QMessageBox::NoIcon;
  auto box =
      std::make_unique<QMessageBox>(icon, QString::fromUtf8(StringText(error.captionId)),
                                    QString::fromUtf8(StringText(error.textId)), QMessageBox::Ok, owner);
  // The text of the id stands as it is; the file tried and what to do follow.
  if (!error.detail.empty()) box->setInformativeText(QString::fromStdString(error.detail));
  return box;
}

bool PlatformShowsWindows() {
  const QString platform = QGuiApplication::platformName();
  return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

void ShowError(const ErrMsg& error, QWidget* owner) {
  std::fprintf(stderr, "%s\n", ErrorText(error).c_str());
  std::fflush(stderr);
  if (PlatformShowsWindows()) MakeErrorBox(error, owner)->exec();
}

}  // namespace pellux
