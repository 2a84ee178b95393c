#include "host/window_menus.h"

#include <QActionGroup>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

namespace pellux {

namespace {

QAction* CheckItem(QMenu* menu, const QString& text) {
  QAction* item = menu->addAction(text);
  item->setCheckable(true);
  return item;
}

}  // namespace

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

WindowMenus BuildWindowMenus(QMenuBar& bar, const std::array<QAction*, 5>& sizeItems, QWidget* owner) {
  WindowMenus m{};

  QMenu* file = bar.addMenu(QStringLiteral("&File"));
  m.openRom = file->addAction(QStringLiteral("&Open ROM..."));
  m.openRom->setShortcut(OpenRomKey());
  m.openRomCold = file->addAction(QStringLiteral("Open ROM (&cold boot)..."));
  m.recent = file->addMenu(QStringLiteral("Recen&t"));
  file->addSeparator();
  m.sendFiles = file->addAction(QStringLiteral("S&end to Calculator..."));
  file->addSeparator();
  m.saveState = file->addAction(QStringLiteral("&Save State..."));
  m.saveState->setShortcut(SaveStateKey());
  m.loadState = file->addAction(QStringLiteral("&Load State..."));
  m.loadState->setShortcut(LoadStateKey());
  file->addSeparator();
  m.saveScreenshot = file->addAction(QStringLiteral("Save Scree&nshot..."));
  m.saveScreenshot->setShortcut(SaveScreenshotKey());
  m.screenshotAtZoom = CheckItem(file, QStringLiteral("Screenshots at &Window Size"));
  file->addSeparator();
  m.reset = file->addAction(QStringLiteral("&Reset"));
  file->addSeparator();
  m.quit = file->addAction(QStringLiteral("&Quit"));
  m.quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  m.quit->setShortcutContext(Qt::ApplicationShortcut);

  QMenu* emulation = bar.addMenu(QStringLiteral("&Emulation"));
  // The window's key handling takes the key itself, before the calculator's
  // keys: the menu only shows it.
  m.pause = emulation->addAction(PauseItemText(false));
  emulation->addSeparator();
  QMenu* speed = emulation->addMenu(QStringLiteral("&Speed"));
  auto* speeds = new QActionGroup(owner);
  speeds->setExclusive(true);
  const QString speedNames[] = {QStringLiteral("&1x (real time)"), QStringLiteral("&2x"),
                                QStringLiteral("&4x"), QStringLiteral("&Unlimited")};
  for (std::size_t i = 0; i < m.speeds.size(); ++i) {
    m.speeds[i] = CheckItem(speed, speedNames[i]);
    speeds->addAction(m.speeds[i]);
  }
  m.calculatorSpeed = CheckItem(emulation, QStringLiteral("Processor at &Calculator Speed"));

  // Esc is the calculator's: a transfer is cancelled from here only.
  QMenu* link = bar.addMenu(QStringLiteral("&Link"));
  m.linkConnect = link->addAction(QStringLiteral("&Connect to Another Pellux..."));
  m.linkListen = link->addAction(QStringLiteral("&Wait for Another Pellux..."));
  m.linkDisconnect = link->addAction(QStringLiteral("&Disconnect"));
  link->addSeparator();
  m.getScreen = link->addAction(QStringLiteral("Get &Screen"));
  m.receivedFolder = link->addAction(QStringLiteral("&Received Files Folder..."));
  link->addSeparator();
  m.cancelTransfer = link->addAction(QStringLiteral("C&ancel Transfer"));

  QMenu* view = bar.addMenu(QStringLiteral("&View"));
  QMenu* size = view->addMenu(QStringLiteral("&Size"));
  for (QAction* item : sizeItems) size->addAction(item);
  m.keypad = CheckItem(view, QStringLiteral("&Keypad"));
  m.keypad->setChecked(true);
  m.fullScreen = CheckItem(view, QStringLiteral("&Full Screen"));

  QMenu* debug = bar.addMenu(QStringLiteral("&Debug"));
  m.debugger = debug->addAction(QStringLiteral("&Debugger...\tF11"));
  m.breakpoints = debug->addAction(QStringLiteral("&Breakpoints..."));

  QMenu* help = bar.addMenu(QStringLiteral("&Help"));
  m.keys = help->addAction(QStringLiteral("&Keys..."));
  m.about = help->addAction(QStringLiteral("&About Pellux"));
  return m;
}

}  // namespace pellux
