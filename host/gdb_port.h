// gdb in the window: the stub's server on its port, served between the
// main loop's passes and, while a modal dialog or menu runs an event loop of
// its own, from a timer inside that loop, so that no request waits for a
// dialog to close and every reply goes out in the order of the requests.
//
// One owner at a time: while gdb is attached the machine is gdb's. F11 (the
// menu item, Break on keypress) stops it for gdb, which hears of it as of
// its own Ctrl-C, and the Debug dialog then only shows gdb's stop: it runs
// and changes nothing, follows gdb's steps, and closes when gdb lets the
// machine run. gdb caches registers and memory and believes it alone moves
// the machine, and its protocol has no word for "the machine moved while
// you held it", so a dialog that stepped behind its back would leave gdb
// showing a place the program has left. When gdb detaches the dialog, if
// open, becomes the owner; when gdb attaches while it is open, gdb does.
#pragma once

#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "debugger/stepping.h"
#include "gdbserver/gdb_server.h"

namespace pellux {

class DebugDialog;
class Driver;
class MainWindow;
class StatusLine;

class GdbPort {
 public:
  GdbPort(MainWindow& window, Driver& driver, std::unique_ptr<net::Listener> listener, gdb::Server::Log log);
  ~GdbPort();
  GdbPort(const GdbPort&) = delete;
  GdbPort& operator=(const GdbPort&) = delete;

  const net::Listener& listener() const { return *server_.listener(); }
  gdb::Stub* stub() { return server_.stub(); }
  // gdb holds the machine stopped.
  bool Holds();

  // The main loop's look at the line, waiting up to waitMs for it.
  void Serve(int waitMs);
  // Sends the replies of stops the stub was told of.
  void Flush() { server_.Flush(); }
  // The user stops the machine (F11, the menu, Break on keypress) while gdb
  // is attached: a gdb that let it run is told (SIGINT) and holds it now.
  void StopForUser();
  // The Debug dialog before it runs: while gdb holds the machine (from the
  // start, or from when gdb attaches) it only shows gdb's stop.
  void Opening(DebugDialog& dialog);
  // The status line's state while gdb holds the machine.
  void ShowStatus(StatusLine& status);

  // Called when gdb lets the machine go after holding it: the time it held
  // it is not the calculator's.
  std::function<void()> released;

 private:
  // The timer's turn: only inside an event loop other than the main loop's.
  void ServeInsideLoop();
  // After a look at the line: the title, a release, the dialog.
  void Settle(bool wasHeld);
  void ShowHeld(DebugDialog& dialog);
  DebugStop GdbStop() const;

  MainWindow& window_;
  Driver& driver_;
  gdb::Server server_;
  std::function<void()> openWithoutGdb_;  // the window's way into the debugger
  QTimer timer_;
  QPointer<DebugDialog> dialog_;
  bool serving_ = false;  // the line is being served: no second turn inside
};

}  // namespace pellux
