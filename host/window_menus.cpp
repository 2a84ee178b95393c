#include "host/window_menus.h"

#include <QActionGroup>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <map>

namespace pellux {

QKeySequence OpenRomKey() { return QKeySequence(Qt::ALT | Qt::Key_O); }
QKeySequence SaveStateKey() { return QKeySequence(Qt::ALT | Qt::Key_S); }
QKeySequence LoadStateKey() { return QKeySequence(Qt::ALT | Qt::Key_R); }
QKeySequence SaveScreenshotKey() { return QKeySequence(Qt::ALT | Qt::Key_P); }

QString FileDialogFilter(FileKind kind) {
  QString first;
  switch (kind) {
    case FileKind::Rom:
      first = QStringLiteral("ROM images and OS files (*.rom *.tib *.9xu)");
      break;
    case FileKind::State:
      first = QStringLiteral("Saved states (*.state)");
      break;
    case FileKind::Screenshot:
      first = QStringLiteral("PNG images (*.png)");
      break;
    case FileKind::Send:
      first = QStringLiteral("TI-92 Plus variables (*.9x? *.9X?)");
      break;
    case FileKind::Received:
      return {};
  }
  return first + QStringLiteral(";;All files (*)");
}

QString PauseItemText(bool paused) {
  return (paused ? QStringLiteral("&Resume\t") : QStringLiteral("&Pause\t")) + kPauseKeyName;
}

void MenuTable::Build(QMenuBar& bar, const std::vector<MenuItemDecl>& items, QWidget& owner) {
  std::map<QStringList, QMenu*> opened;  // by path
  std::map<int, QActionGroup*> groups;
  // Where a path is first named, its menu goes: on the bar, or at the end
  // of the menu above it.
  std::function<QMenu*(const QStringList&)> menuAt = [&](const QStringList& path) {
    QMenu*& menu = opened[path];
    if (!menu) {
      menu = path.size() == 1 ? bar.addMenu(path.front())
                              : menuAt(path.mid(0, path.size() - 1))->addMenu(path.back());
      // Every state shown right when the menu opens.
      QObject::connect(menu, &QMenu::aboutToShow, &owner, [this] { Refresh(); });
    }
    return menu;
  };
  for (const MenuItemDecl& decl : items) {
    QMenu* menu = menuAt(decl.menu);
    if (decl.separatorBefore) menu->addSeparator();
    if (decl.entry == MenuEntry::Submenu) {
      QMenu* sub = menuAt(QStringList(decl.menu) << decl.text);
      if (decl.submenu) *decl.submenu = sub;
      continue;
    }
    if (decl.entry == MenuEntry::Borrowed) {
      menu->addActions(decl.borrowed());
      continue;
    }
    QAction* action = menu->addAction(decl.label ? decl.label() : decl.text);
    if (decl.item) *decl.item = action;
    if (!decl.key.isEmpty()) {
      action->setShortcut(decl.key);
      if (decl.everywhere) {
        action->setShortcutContext(Qt::ApplicationShortcut);
      } else {
        windowKeys_ << action;
      }
    }
    if (decl.check != MenuCheck::None) {
      action->setCheckable(true);
      action->setChecked(decl.check == MenuCheck::On);
    }
    if (decl.exclusiveGroup > 0) {
      QActionGroup*& group = groups[decl.exclusiveGroup];
      if (!group) {
        group = new QActionGroup(&owner);
        group->setExclusive(true);
      }
      group->addAction(action);
    }
    if (decl.inContextMenu) contextItems_ << action;
    // What the action changed shows at once, in every item.
    if (decl.triggered) {
      QObject::connect(action, &QAction::triggered, &owner, [this, run = decl.triggered] {
        run();
        Refresh();
      });
    }
    if (decl.toggled) {
      QObject::connect(action, &QAction::toggled, &owner, [this, run = decl.toggled](bool on) {
        run(on);
        Refresh();
      });
    }
    if (decl.enabled || decl.checked || decl.label)
      sources_.push_back({action, decl.enabled, decl.checked, decl.label});
  }
}

void MenuTable::Refresh() const {
  for (const Sources& item : sources_) {
    if (item.enabled) item.action->setEnabled(item.enabled());
    if (item.checked) {
      const bool on = item.checked();
      if (item.action->isChecked() != on) item.action->setChecked(on);
    }
    if (item.label) {
      const QString text = item.label();
      if (item.action->text() != text) item.action->setText(text);
    }
  }
}

}  // namespace pellux
