#include "tests/host/known_fonts.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QProcess>
#include <QStringList>

namespace pellux::test {

namespace {

constexpr int kFcMatchTimeoutMs = 10000;

// The font file of a family: at its Debian path, else wherever fontconfig
// has it (fc-match names its best match, so the file's name must agree).
QString FontFile(const QString& family, const QString& fileName) {
  const QString debian = QStringLiteral("/usr/share/fonts/truetype/dejavu/") + fileName;
  if (QFileInfo(debian).isFile()) return debian;
  QProcess match;
  match.start(QStringLiteral("fc-match"), {QStringLiteral("--format=%{file}"), family});
  if (!match.waitForFinished(kFcMatchTimeoutMs) || match.exitCode() != 0) return {};
  const QString found = QString::fromLocal8Bit(match.readAllStandardOutput()).trimmed();
  return QFileInfo(found).fileName() == fileName ? found : QString();
}

QString AddFont(const QString& family, const QString& fileName) {
  const QString file = FontFile(family, fileName);
  if (file.isEmpty()) return {};
  const int id = QFontDatabase::addApplicationFont(file);
  const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
  return families.isEmpty() ? QString() : families.front();
}

}  // namespace

const KnownFonts& LoadKnownFonts() {
  static const KnownFonts fonts{
      AddFont(QStringLiteral("DejaVu Sans Mono"), QStringLiteral("DejaVuSansMono.ttf")),
      AddFont(QStringLiteral("DejaVu Sans"), QStringLiteral("DejaVuSans.ttf")),
  };
  return fonts;
}

}  // namespace pellux::test
