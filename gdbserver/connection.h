// The debugger's end of the line: a listening TCP socket that takes one
// client at a time, and the non-blocking connection to that client.
//
// POSIX sockets; the calls are few and plain so that a Winsock version is a
// matter of the same functions under other names.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pellux::gdb {

// Where to listen: "[HOST:]PORT". Without a HOST only this machine can
// connect (127.0.0.1). PORT 0 lets the system choose.
struct Endpoint {
  std::string host = "127.0.0.1";
  std::uint16_t port = 0;
};

// The endpoint, or nothing with `error` saying what is wrong.
std::optional<Endpoint> ParseEndpoint(std::string_view text, std::string& error);

// One connected socket, non-blocking. Owns the descriptor.
class Connection {
 public:
  explicit Connection(int fd);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  int fd() const { return fd_; }
  // Appends what has arrived; false once the peer has closed or the line failed.
  bool Receive(std::string& into);
  // Queues bytes and sends what the socket takes now; false when the line failed.
  bool Send(std::string_view bytes);
  bool HasPendingOutput() const { return !pending_.empty(); }

 private:
  int fd_;
  std::string pending_;
};

// A listening socket.
class Listener {
 public:
  // Binds and listens; nothing with `error` giving the system's reason.
  static std::unique_ptr<Listener> Open(const Endpoint& endpoint, std::string& error);
  ~Listener();
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  int fd() const { return fd_; }
  std::uint16_t port() const { return port_; }
  std::string Address() const;  // "HOST:PORT" as bound
  // A client waiting to be accepted, or null; `peer` names it.
  std::unique_ptr<Connection> Accept(std::string& peer);

 private:
  Listener(int fd, std::string host, std::uint16_t port) : fd_(fd), host_(std::move(host)), port_(port) {}
  int fd_;
  std::string host_;
  std::uint16_t port_;
};

}  // namespace pellux::gdb
