#include "host/screenshot_file.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "host/main_window.h"
#include "host/settings_store.h"
#include "io/files.h"

namespace pellux {

QString DefaultScreenshotName(const QDateTime& when) {
  return QStringLiteral("pellux-%1.png").arg(when.toString(QStringLiteral("yyyy-MM-dd-HHmmss")));
}

QString ScreenshotFolder(const QString& lastFolder) {
  if (!lastFolder.isEmpty() && QDir(lastFolder).exists()) return lastFolder;
  const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  if (!pictures.isEmpty() && QDir(pictures).exists()) return pictures;
  return QDir::homePath();
}

QString ChooseScreenshotFile(MainWindow& window, SettingsStore& settings) {
  const QString suggested = QDir(ScreenshotFolder(settings.LastFolder(FileKind::Screenshot)))
                                .filePath(DefaultScreenshotName(QDateTime::currentDateTime()));
  QString path = window.chooseSaveFile(FileKind::Screenshot, suggested);
  if (path.isEmpty() || window.CloseRequested()) return {};
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".png");
  settings.SetLastFolder(FileKind::Screenshot, QFileInfo(path).absolutePath());
  return path;
}

int ScreenshotScale(const MainWindow& window) {
  return window.menus().screenshotAtZoom->isChecked() ? window.zoom() : 1;
}

Status SaveScreenshotPng(const std::filesystem::path& path, LcdFrameView frame, int scale) {
  return WriteFileAtomically(path, EncodePng(frame, scale));
}

Status SaveScreenshotPng(const std::filesystem::path& path, const LcdPicture& picture, int scale) {
  return WriteFileAtomically(path, EncodePng(picture, scale));
}

}  // namespace pellux
