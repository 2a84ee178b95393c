#include "host/listing_font.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>
#include <initializer_list>
#include <optional>

namespace pellux {

namespace {

constexpr int kListingPointSize = 10;

// Fixed-pitch families in the order they are tried; the first that is there
// and that the font database reports as fixed pitch is taken.
constexpr std::initializer_list<const char*> kMonospaceFamilies = {
    "DejaVu Sans Mono", "Liberation Mono", "Noto Mono", "Noto Sans Mono", "Nimbus Mono PS", "Courier New",
};

// Where fonts-dejavu-core puts its monospace face.
constexpr const char* kDejaVuSansMonoFile = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";

QFont AtListingSize(QFont font) {
  font.setPointSize(kListingPointSize);
  return font;
}

bool IsFixedPitch(const QFont& font) { return QFontInfo(font).fixedPitch(); }

std::optional<QFont> KnownFamily() {
  for (const char* name : kMonospaceFamilies) {
    const QString family = QString::fromLatin1(name);
    if (!QFontDatabase::hasFamily(family)) continue;
    QFont font(family, kListingPointSize);
    font.setStyleHint(QFont::TypeWriter);
    if (IsFixedPitch(font)) return font;
  }
  return std::nullopt;
}

std::optional<QFont> GenericMonospace() {
  QFont font(QStringLiteral("monospace"), kListingPointSize);
  font.setStyleHint(QFont::Monospace);
  font.setFixedPitch(true);
  if (IsFixedPitch(font)) return font;
  return std::nullopt;
}

// Loaded once: the application keeps a font it has added.
QString LoadDejaVuSansMono() {
  const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(kDejaVuSansMonoFile));
  const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
  return families.isEmpty() ? QString() : families.front();
}

std::optional<QFont> DejaVuFromItsFile() {
  static const QString family = LoadDejaVuSansMono();
  if (family.isEmpty()) return std::nullopt;
  const QFont font(family, kListingPointSize);
  if (IsFixedPitch(font)) return font;
  return std::nullopt;
}

}  // namespace

QFont ChooseListingFont(const QFont& offered) {
  const QFont font = AtListingSize(offered);
  if (IsFixedPitch(font)) return font;
  for (const auto choose : {KnownFamily, GenericMonospace, DejaVuFromItsFile}) {
    if (const std::optional<QFont> fallback = choose()) return *fallback;
  }
  return font;
}

QFont FixedListingFont() { return ChooseListingFont(QFontDatabase::systemFont(QFontDatabase::FixedFont)); }

}  // namespace pellux
