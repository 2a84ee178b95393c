// The window's menu bar, built from a table of declarations: File,
// Emulation, Link, View, Debug and Help.
#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "host/settings_store.h"
#include "machine/speed.h"

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace pellux {

// The key that pauses and resumes, shown in the menu; the window's key
// handling acts on it before the calculator's keys.
inline const QString kPauseKeyName = QStringLiteral("Pause");

// The Pause item's text for the state the machine is in.
QString PauseItemText(bool paused);

// The items that the program's code and its tests name; the menus are
// declared in one table (MenuItemDecl), which fills these as it builds.
struct WindowMenus {
  QAction* openRom;
  QAction* openRomCold;  // the same, booted cold whatever its session holds
  QMenu* recent;         // filled by the shell: the files opened last
  QAction* sendFiles;    // Send to Calculator...
  QAction* saveState;
  QAction* loadState;
  QAction* saveScreenshot;
  QAction* screenshotAtZoom;  // check: screenshots at the window's zoom, not 1X
  QAction* reset;
  QAction* quit;
  QAction* pause;                  // its text says what it does: Pause or Resume
  std::array<QAction*, 4> speeds;  // in the order of Speed
  QAction* calculatorSpeed;        // check
  QAction* linkConnect;
  QAction* linkListen;
  QAction* linkDisconnect;
  QAction* getScreen;
  QAction* receivedFolder;
  QAction* cancelTransfer;
  QAction* keypad;                 // check: the keypad under the LCD
  QAction* fullScreen;             // check
  QAction* debugger;
  QAction* breakpoints;
  QAction* keys;
  QAction* about;

  QAction* SpeedItem(Speed speed) const { return speeds[static_cast<std::size_t>(speed)]; }
};

// What a line of a menu is.
enum class MenuEntry : std::uint8_t {
  Action,    // an item that does something when chosen
  Submenu,   // a menu of its own, named by `text`; its items name it in their path
  Borrowed,  // the actions `borrowed` answers, which belong to another menu too
};

// Whether an item is a check, and how it starts.
enum class MenuCheck : std::uint8_t { None, Off, On };

// One line of the menu bar, declared once: where it goes, what it says, its
// key, what it does and where its state comes from. The bar shows the lines
// in the order of the table, each menu where it is first named.
struct MenuItemDecl {
  QStringList menu = {};  // the menu it sits in, from the bar down: {"&Emulation", "&Speed"}
  QString text = {};      // fixed; `label` instead when it follows the program's state
  QKeySequence key = {};
  MenuEntry entry = MenuEntry::Action;
  MenuCheck check = MenuCheck::None;
  bool separatorBefore = false;
  bool everywhere = false;     // its key works in every window of the program (Quit)
  bool inContextMenu = false;  // also at the end of the LCD's context menu
  int exclusiveGroup = 0;      // checks of one group above 0: one of them at a time
  QAction** item = nullptr;    // the field of WindowMenus that names it, if any
  QMenu** submenu = nullptr;   // the same for a submenu
  // What it does: `triggered` when chosen; `toggled` for a check whose
  // state the program also sets (the action follows every change).
  std::function<void()> triggered = {};
  std::function<void(bool on)> toggled = {};
  // Where its state comes from, looked at whenever the menus are refreshed:
  // none means always enabled, a check the user alone sets, a fixed text.
  std::function<bool()> enabled = {};
  std::function<bool()> checked = {};
  std::function<QString()> label = {};
  std::function<QList<QAction*>()> borrowed = {};
};

// The built menus: the actions with their state sources.
class MenuTable {
 public:
  // Fills the bar in the table's order and the fields the items name; the
  // actions belong to `owner`. Every action refreshes the table after it
  // has run, and every menu before it shows.
  void Build(QMenuBar& bar, const std::vector<MenuItemDecl>& items, QWidget& owner);
  // Each item's enabled state, check and text from its sources.
  void Refresh() const;
  // The items with a key of their own window's (the keys that must work
  // while the menu bar is hidden), and those that go in the context menu.
  const QList<QAction*>& windowKeys() const { return windowKeys_; }
  const QList<QAction*>& contextItems() const { return contextItems_; }

 private:
  struct Sources {
    QAction* action;
    std::function<bool()> enabled;
    std::function<bool()> checked;
    std::function<QString()> label;
  };
  std::vector<Sources> sources_;
  QList<QAction*> windowKeys_;
  QList<QAction*> contextItems_;
};

// The keys of Open ROM, Save State, Load State and Save Screenshot: Alt
// with a letter that names no menu, since every key without Alt may be the
// calculator's (Alt combinations never reach it).
QKeySequence OpenRomKey();
QKeySequence SaveStateKey();
QKeySequence LoadStateKey();
QKeySequence SaveScreenshotKey();

// The choice of files a dialog of that kind offers first, "All files" after
// it: "ROM images and OS files (*.rom *.tib *.9xu);;All files (*)".
QString FileDialogFilter(FileKind kind);

}  // namespace pellux
