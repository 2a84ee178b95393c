// The signals that ask a program to end (SIGTERM from a logout, a shutdown
// or a service manager; SIGINT from Ctrl+C in a terminal; SIGHUP when the
// terminal goes), turned into a call on the main thread, so that the window
// closes the normal way and the session is saved. The handler only writes
// the signal's number into a pipe (all a handler may safely do); a socket
// notifier on the pipe's other end makes the call from the event loop, in
// the main loop's passes and in any modal dialog's loop alike. A second
// signal of the same kind ends the program at once, as if none were watched.
#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace pellux {

class SignalWatch {
 public:
  // Installs the handlers; one watch at a time. Where the system has no such
  // signals nothing is installed.
  explicit SignalWatch(std::function<void(int signal)> onSignal);
  // Puts the handlers there were back.
  ~SignalWatch();
  SignalWatch(const SignalWatch&) = delete;
  SignalWatch& operator=(const SignalWatch&) = delete;

 private:
  struct Saved;
  std::function<void(int)> onSignal_;
  std::unique_ptr<Saved> saved_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace pellux
