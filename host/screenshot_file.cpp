#include "host/screenshot_file.h"

#include <QDir>
#include <QStandardPaths>

#include "machine/files.h"

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

std::string SaveScreenshotPng(const std::filesystem::path& path, LcdFrameView frame, int scale) {
  return WriteFileAtomically(path, EncodePng(frame, scale));
}

}  // namespace pellux
