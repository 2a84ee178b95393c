#include "host/show_error.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <cstdio>

#include "machine/errors.h"

namespace pellux {

std::string ErrorText(const ErrMsg& error) {
  std::string text = std::string("pellux: ") + error.caption() + ": " + error.what();
  if (!error.detail.empty()) text += "\n" + error.detail;
  return text;
}

std::unique_ptr<QMessageBox> MakeErrorBox(const ErrMsg& error, QWidget* owner) {
  auto box = std::make_unique<QMessageBox>(QMessageBox::Critical, QString::fromUtf8(error.caption()),
                                           QString::fromUtf8(error.what()), QMessageBox::Ok, owner);
  // The error's text stands as it is; the file tried and what to do follow.
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
