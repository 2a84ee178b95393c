// What the window remembers between runs, kept in the platform's settings
// store (QSettings: the registry on Windows, an INI file under ~/.config
// elsewhere). Values read back are checked: a damaged or foreign entry gives
// the default, never a zoom the window cannot show.
#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "machine/speed.h"

class QSettings;

namespace pellux {

// The file dialogs whose folders are remembered apart. Received is no
// dialog's: it is where the variables the calculator sends are saved.
enum class FileKind { Rom, State, Screenshot, Send, Received };

// The two ends of a link socket the user names: where to wait for another
// Pellux, and where to reach one.
enum class LinkEnd { Listen, Connect };

struct WindowSettings {
  int zoom = 3;
  Speed speed = Speed::Real;
  bool calculatorSpeed = false;
  bool screenshotAtZoom = false;   // Save Screenshot at the window's zoom, not 1X
  bool keypad = true;              // View > Keypad
  QString lastRom;                 // empty: none yet
  std::optional<QPoint> position;  // the window's top-left corner on the desktop
};

class SettingsStore {
 public:
  // A store in the given INI file (tests), or, when it is empty, the
  // user's store for the application's organisation and name.
  explicit SettingsStore(const QString& iniFile = {});
  ~SettingsStore();

  WindowSettings Load() const;
  void Save(const WindowSettings& settings);

  // The folder a file dialog of that kind opened last; empty when none.
  QString LastFolder(FileKind kind) const;
  void SetLastFolder(FileKind kind, const QString& folder);

  // The address last given for that end of a link socket; empty when none.
  QString LinkAddress(LinkEnd end) const;
  void SetLinkAddress(LinkEnd end, const QString& address);

  // File > Recent, the last first.
  QStringList RecentFiles() const;
  void SetRecentFiles(const QStringList& files);

 private:
  std::unique_ptr<QSettings> settings_;
};

// The names the store and the menus use for the speeds: "1x", "2x", "4x",
// "unlimited".
QString SpeedName(Speed speed);
std::optional<Speed> SpeedFromName(const QString& name);

}  // namespace pellux
