// The window's menu bar: File, Emulation, Link, View, Debug and Help. The Size
// items are the context menu's own actions, so both menus always agree.
#pragma once

#include <QKeySequence>
#include <QString>
#include <array>

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
  QAction* pause;                  // check: the machine is paused
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

// Fills the bar; the actions belong to `owner`. sizeItems are the context
// menu's 1X..5X items.
WindowMenus BuildWindowMenus(QMenuBar& bar, const std::array<QAction*, 5>& sizeItems, QWidget* owner);

}  // namespace pellux
