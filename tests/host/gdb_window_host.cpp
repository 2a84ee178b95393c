// The window with gdb's port, for tests/gdb_window_end_to_end.sh: as soon
// as a debugger attaches (and so holds the machine) it presses F11, and it
// reports on standard error what the Debug dialog shows while it is open.
// It ends when that debugger's session ends.
//
//   pellux-gdb-window-host ROM SYMBOLS     (QT_QPA_PLATFORM=offscreen)
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "host/gdb_port.h"
#include "host/main_window.h"
#include "host/shell.h"

namespace {

void Say(const QString& line) {
  std::fprintf(stderr, "host: %s\n", line.toUtf8().constData());
  std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: pellux-gdb-window-host ROM SYMBOLS\n");
    return 2;
  }
  QApplication app(argc, argv);
  QTemporaryDir settings;
  pellux::ShellOptions options;
  options.romPath = argv[1];
  options.symbolsPath = std::filesystem::path(argv[2]);
  options.settingsFile = settings.filePath(QStringLiteral("pellux.ini"));
  options.gdb = pellux::net::Endpoint{"127.0.0.1", 0};
  pellux::Shell shell(options);
  if (!shell.Create()) return 1;
  shell.window()->show();

  // What the dialog shows, whenever it changes, from inside its own loop.
  QString shown;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    QString now;
    if (dialog && dialog->windowTitle() == QStringLiteral("Debug")) {
      const bool commands = dialog->findChild<QPushButton*>(QStringLiteral("step"))->isEnabled();
      now = QStringLiteral("dialog shows: %1 (Step %2)")
                .arg(dialog->findChild<QLabel*>(QStringLiteral("stopReason"))->text(),
                     commands ? QStringLiteral("on") : QStringLiteral("off"));
    } else if (!shown.isEmpty()) {
      now = QStringLiteral("dialog closed");
    }
    if (now != shown && !now.isEmpty()) Say(now);
    shown = now == QStringLiteral("dialog closed") ? QString() : now;
  });
  watch.start(1);

  bool attached = false;
  bool pressed = false;
  while (!shell.window()->CloseRequested()) {
    shell.Pass();
    pellux::GdbPort& port = *shell.gdbPort();
    if (port.stub()) attached = true;
    if (attached && !port.stub()) break;  // the session is over
    if (port.stub() && port.Holds() && !pressed) {
      pressed = true;
      Say(QStringLiteral("F11"));
      QKeyEvent f11(QEvent::KeyPress, Qt::Key_F11, Qt::NoModifier, QString());
      QCoreApplication::sendEvent(shell.window(), &f11);
    }
  }
  Say(QStringLiteral("done"));
  return 0;
}
