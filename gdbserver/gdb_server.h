// A GDB remote stub on the network: the listening socket, the one debugger
// connected to it and the stub that answers it.
//
// Nothing here blocks longer than the caller allows: the window polls with
// no wait between its passes, pellux-headless waits while the debugger holds
// the machine. A second debugger is refused with an error reply that says
// why; one that connects right after the last one closed is not (the closed
// one is seen gone first). A debugger that vanishes counts as a detach.
//
// The connection's buffers are bounded. A debugger that sends requests
// without reading the replies is not disconnected: once a few replies wait
// unread, the server reads nothing more from it until it reads them, so the
// backlog stays small and TCP's own flow control holds the debugger back.
// gdb sends one request and waits for its reply, so it never comes near.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "debugger/gdb_stub.h"
#include "io/connection.h"

namespace pellux {
class Calculator;
}

namespace pellux::gdb {

// What to tell the user when the debugger's port is open to other
// computers (bound to anything but loopback).
std::string OpenPortWarning(const std::string& address);

class Server {
 public:
  using Log = std::function<void(const std::string&)>;

  // The buffers of a debugger's connection: its requests are handed to the
  // stub one at a time while the output has room for two whole replies, so
  // no more than about one reply's worth ever waits unread.
  static constexpr net::BufferLimits kLimits{2 * kMaxPayload, 3 * kMaxOutputPerEvent};

  // listener may be null: then only Attach brings a debugger.
  Server(Calculator& calc, std::unique_ptr<net::Listener> listener, Log log);
  ~Server();

  // Serves a socket that is already connected (the tests' socket pairs).
  void Attach(std::unique_ptr<net::Connection> connection, const std::string& peer);

  // Waits up to timeoutMs (-1: until something arrives) for the network,
  // then serves the attached debugger (its replies out, its requests in),
  // and accepts or refuses new ones.
  void Poll(int timeoutMs);
  // Sends what the stub has queued (after a stop it was told of).
  void Flush();
  // The user stopped the machine: a debugger that let it run is told (SIGINT).
  void Interrupt();

  // The stub of the attached debugger, or null.
  Stub* stub() { return stub_.get(); }
  bool attached() const { return stub_ != nullptr; }
  // A debugger has come and gone.
  bool sessionEnded() const { return sessionEnded_; }
  bool killed() const { return killed_; }
  const net::Listener* listener() const { return listener_.get(); }

 private:
  void Serve();
  // Hands buffered requests to the stub while their replies fit.
  void Process();
  bool CanProcess() const;
  // The stub's output to the connection; false when the session ended.
  bool SendOutput();
  void AcceptWaiting();
  void EndSession(const std::string& why);

  Calculator& calc_;
  std::unique_ptr<net::Listener> listener_;
  Log log_;
  std::unique_ptr<net::Connection> connection_;
  std::unique_ptr<Stub> stub_;
  std::string peer_;
  bool sessionEnded_ = false;
  bool killed_ = false;
};

}  // namespace pellux::gdb
