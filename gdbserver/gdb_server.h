// A GDB remote stub on the network: the listening socket, the one debugger
// connected to it and the stub that answers it.
//
// Nothing here blocks longer than the caller allows: the window polls with
// no wait between its passes, pellux-headless waits while the debugger holds
// the machine. A second debugger is refused while one is attached; a
// debugger that vanishes counts as a detach.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "debugger/gdb_stub.h"
#include "gdbserver/connection.h"

namespace pellux {
class Calculator;
}

namespace pellux::gdb {

class Server {
 public:
  using Log = std::function<void(const std::string&)>;

  // listener may be null: then only Attach brings a debugger.
  Server(Calculator& calc, std::unique_ptr<Listener> listener, Log log);
  ~Server();

  // Serves a socket that is already connected (the tests' socket pairs).
  void Attach(std::unique_ptr<Connection> connection, const std::string& peer);

  // Waits up to timeoutMs (-1: until something arrives) for the network,
  // then accepts or refuses clients, hands what arrived to the stub and
  // sends its replies.
  void Poll(int timeoutMs);
  // Sends what the stub has queued (after a stop it was told of).
  void Flush();

  // The stub of the attached debugger, or null.
  Stub* stub() { return stub_.get(); }
  bool attached() const { return stub_ != nullptr; }
  // A debugger has come and gone.
  bool sessionEnded() const { return sessionEnded_; }
  bool killed() const { return killed_; }
  const Listener* listener() const { return listener_.get(); }

 private:
  void AcceptWaiting();
  void EndSession(const std::string& why);

  Calculator& calc_;
  std::unique_ptr<Listener> listener_;
  Log log_;
  std::unique_ptr<Connection> connection_;
  std::unique_ptr<Stub> stub_;
  std::string peer_;
  bool sessionEnded_ = false;
  bool killed_ = false;
};

}  // namespace pellux::gdb
