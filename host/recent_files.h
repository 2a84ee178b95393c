// File > Recent: the ROM images, OS files and saved states the window opened
// or saved last, the last first. A file that has gone since is shown as
// missing and can be taken off the list; the list outlives the run in the
// settings.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QMenu;

namespace pellux {

class SettingsStore;

// How many files the list keeps.
constexpr int kRecentFilesKept = 10;

// The list with `path` first: moved there when it was on it already, the
// oldest dropped beyond kRecentFilesKept.
QStringList WithRecentFile(QStringList files, const QString& path);

// "ti92p.rom (missing)": the text of a file's item.
QString RecentItemText(int index, const QString& path, bool missing);

class RecentFiles {
 public:
  // Fills `menu` each time it opens; `open` runs a file chosen in it.
  RecentFiles(QMenu& menu, SettingsStore& settings, std::function<void(const QString& path)> open);

  // The file opened or saved goes first.
  void Add(const QString& path);
  void Remove(const QString& path);
  QStringList Files() const;
  // The menu again, each file looked for on the disk.
  void Refill();

 private:
  void Store(const QStringList& files);

  QMenu& menu_;
  SettingsStore& settings_;
  // What the menu's signals reach this through: they end with it.
  QObject context_;
  std::function<void(const QString&)> open_;
};

}  // namespace pellux
