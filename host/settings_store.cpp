#include "host/settings_store.h"

#include <QSettings>
#include <array>

#include "host/display_image.h"

namespace pellux {

namespace {

struct SpeedEntry {
  Speed speed;
  const char* name;
};
constexpr std::array<SpeedEntry, 4> kSpeedNames = {{
    {Speed::Real, "1x"},
    {Speed::Double, "2x"},
    {Speed::Quadruple, "4x"},
    {Speed::Unlimited, "unlimited"},
}};

QString FolderKey(FileKind kind) {
  switch (kind) {
    case FileKind::Rom:
      return QStringLiteral("folders/rom");
    case FileKind::State:
      return QStringLiteral("folders/state");
    case FileKind::Screenshot:
      return QStringLiteral("folders/screenshot");
    case FileKind::Send:
      return QStringLiteral("folders/send");
    case FileKind::Received:
      return QStringLiteral("folders/received");
  }
  return {};
}

QString LinkKey(LinkEnd end) {
  return end == LinkEnd::Listen ? QStringLiteral("link/listen") : QStringLiteral("link/connect");
}

}  // namespace

QString SpeedName(Speed speed) {
  for (const SpeedEntry& entry : kSpeedNames) {
    if (entry.speed == speed) return QString::fromLatin1(entry.name);
  }
  return {};
}

std::optional<Speed> SpeedFromName(const QString& name) {
  for (const SpeedEntry& entry : kSpeedNames) {
    if (name == QLatin1String(entry.name)) return entry.speed;
  }
  return std::nullopt;
}

SettingsStore::SettingsStore(const QString& iniFile)
    : settings_(iniFile.isEmpty() ? std::make_unique<QSettings>()
                                  : std::make_unique<QSettings>(iniFile, QSettings::IniFormat)) {}

SettingsStore::~SettingsStore() = default;

WindowSettings SettingsStore::Load() const {
  WindowSettings loaded;
  bool ok = false;
  const int zoom = settings_->value(QStringLiteral("window/zoom")).toInt(&ok);
  if (ok && zoom >= kMinZoom && zoom <= kMaxZoom) loaded.zoom = zoom;
  if (const auto speed = SpeedFromName(settings_->value(QStringLiteral("emulation/speed")).toString())) {
    loaded.speed = *speed;
  }
  loaded.calculatorSpeed = settings_->value(QStringLiteral("emulation/calculatorSpeed"), false).toBool();
  loaded.screenshotAtZoom = settings_->value(QStringLiteral("screenshot/atZoom"), false).toBool();
  loaded.keypad = settings_->value(QStringLiteral("window/keypad"), true).toBool();
  loaded.lastRom = settings_->value(QStringLiteral("lastRom")).toString();
  const QVariant position = settings_->value(QStringLiteral("window/position"));
  if (position.canConvert<QPoint>() && position.typeId() == QMetaType::QPoint)
    loaded.position = position.toPoint();
  return loaded;
}

void SettingsStore::Save(const WindowSettings& settings) {
  settings_->setValue(QStringLiteral("window/zoom"), settings.zoom);
  settings_->setValue(QStringLiteral("emulation/speed"), SpeedName(settings.speed));
  settings_->setValue(QStringLiteral("emulation/calculatorSpeed"), settings.calculatorSpeed);
  settings_->setValue(QStringLiteral("screenshot/atZoom"), settings.screenshotAtZoom);
  settings_->setValue(QStringLiteral("window/keypad"), settings.keypad);
  settings_->setValue(QStringLiteral("lastRom"), settings.lastRom);
  if (settings.position) {
    settings_->setValue(QStringLiteral("window/position"), *settings.position);
  } else {
    settings_->remove(QStringLiteral("window/position"));
  }
  settings_->sync();
}

QString SettingsStore::LastFolder(FileKind kind) const {
  return settings_->value(FolderKey(kind)).toString();
}

void SettingsStore::SetLastFolder(FileKind kind, const QString& folder) {
  settings_->setValue(FolderKey(kind), folder);
  settings_->sync();
}

QString SettingsStore::LinkAddress(LinkEnd end) const { return settings_->value(LinkKey(end)).toString(); }

void SettingsStore::SetLinkAddress(LinkEnd end, const QString& address) {
  settings_->setValue(LinkKey(end), address);
  settings_->sync();
}

QStringList SettingsStore::RecentFiles() const {
  // An INI file keeps a list of one as a plain string: read back as a list too.
  QStringList files = settings_->value(QStringLiteral("recent/files")).toStringList();
  files.removeAll(QString());
  return files;
}

void SettingsStore::SetRecentFiles(const QStringList& files) {
  settings_->setValue(QStringLiteral("recent/files"), files);
  settings_->sync();
}

}  // namespace pellux
