#include "host/recent_files.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

#include "host/settings_store.h"

namespace pellux {

namespace {

bool Missing(const QString& path) { return !QFileInfo(path).isFile(); }

// Paths on the list are compared as absolute, clean paths.
QString Canonical(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

}  // namespace

QStringList WithRecentFile(QStringList files, const QString& path) {
  const QString entry = Canonical(path);
  files.removeAll(entry);
  files.prepend(entry);
  while (files.size() > kRecentFilesKept) files.removeLast();
  return files;
}

QString RecentItemText(int index, const QString& path, bool missing) {
  QString name = QFileInfo(path).fileName();
  name.replace(QLatin1Char('&'), QStringLiteral("&&"));  // a name's own & is no shortcut
  // The first nine get a digit to press in the open menu.
  if (index < 9) name.prepend(QStringLiteral("&%1 ").arg(index + 1));
  return missing ? name + QStringLiteral(" (missing)") : name;
}

RecentFiles::RecentFiles(QMenu& menu, SettingsStore& settings, std::function<void(const QString& path)> open)
    : menu_(menu), settings_(settings), open_(std::move(open)) {
  menu_.setToolTipsVisible(true);
  QObject::connect(&menu_, &QMenu::aboutToShow, &context_, [this] { Refill(); });
  Refill();
}

QStringList RecentFiles::Files() const { return settings_.RecentFiles(); }

void RecentFiles::Add(const QString& path) { Store(WithRecentFile(Files(), path)); }

void RecentFiles::Remove(const QString& path) {
  QStringList files = Files();
  files.removeAll(path);
  Store(files);
}

void RecentFiles::Store(const QStringList& files) {
  settings_.SetRecentFiles(files);
  Refill();
}

void RecentFiles::Refill() {
  menu_.clear();
  const QStringList files = Files();
  bool anyMissing = false;
  for (int i = 0; i < files.size(); ++i) {
    const QString path = files[i];
    const bool missing = Missing(path);
    anyMissing = anyMissing || missing;
    QAction* item = menu_.addAction(RecentItemText(i, path, missing));
    item->setToolTip(missing ? QStringLiteral("%1 is no longer there: choose it to take it off the list")
                                   .arg(QDir::toNativeSeparators(path))
                             : QDir::toNativeSeparators(path));
    item->setData(path);
    // Run from the event loop once the menu has closed: opening a file may
    // ask questions in boxes of its own, and the menu is refilled.
    QObject::connect(
        item, &QAction::triggered, &context_,
        [this, path, missing] {
          if (missing) {
            Remove(path);
          } else {
            open_(path);
          }
        },
        Qt::QueuedConnection);
  }
  if (files.isEmpty()) {
    menu_.addAction(QStringLiteral("No recent files"))->setEnabled(false);
    return;
  }
  menu_.addSeparator();
  QAction* removeMissing = menu_.addAction(QStringLiteral("Remove &Missing Files"));
  removeMissing->setEnabled(anyMissing);
  QObject::connect(
      removeMissing, &QAction::triggered, &context_,
      [this] {
        QStringList kept;
        for (const QString& path : Files()) {
          if (!Missing(path)) kept << path;
        }
        Store(kept);
      },
      Qt::QueuedConnection);
  QObject::connect(
      menu_.addAction(QStringLiteral("&Clear List")), &QAction::triggered, &context_, [this] { Store({}); },
      Qt::QueuedConnection);
}

}  // namespace pellux
