// A byte stream over TCP for one program at the other end: a listening
// socket, and the non-blocking connection to a client with bounded buffers
// both ways. Nothing here knows what the bytes mean (the gdb stub, a link
// cable between two emulators).
//
// The buffers are bounded so that no client can make this process grow:
// a connection reads only while its input buffer has room, and refuses to
// queue output past its limit. What a full buffer means (stop reading until
// the client reads its replies, or hang up) is the user's choice.
//
// POSIX sockets; the calls are few and plain so that a Winsock version is a
// matter of the same functions under other names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace pellux::net {

// Where to listen: "[HOST:]PORT", an IPv6 address in brackets
// ("[::1]:1234"). Without a HOST only this machine can connect (127.0.0.1).
// PORT 0 lets the system choose.
struct Endpoint {
  std::string host = "127.0.0.1";
  std::uint16_t port = 0;
};

// The endpoint, or what is wrong with the text.
Result<Endpoint> ParseEndpoint(std::string_view text);

// "HOST:PORT", or "[HOST]:PORT" for an IPv6 address.
std::string FormatAddress(std::string_view host, std::uint16_t port);

struct BufferLimits {
  std::size_t input = 32 * 1024;   // bytes read and not yet taken
  std::size_t output = 96 * 1024;  // bytes queued and not yet sent
};

// One connected socket, non-blocking. Owns the descriptor.
class Connection {
 public:
  explicit Connection(int fd, BufferLimits limits = {});
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  int fd() const { return fd_; }

  // Reads what has arrived, as much as the input buffer has room for.
  // False once the peer has closed its end or the line failed; what was
  // read before stays in the buffer.
  bool Receive();
  // The bytes read and not yet taken, and taking the first n of them.
  std::string_view input() const { return input_; }
  void Take(std::size_t n);
  bool inputFull() const { return input_.size() >= limits_.input; }

  // Queues the bytes and sends what the socket takes now. False, with
  // nothing queued, when they do not fit in the output buffer; false too
  // when the line has failed.
  bool Send(std::string_view bytes);
  // Sends what the socket takes of the queued bytes; false when the line failed.
  bool Flush();
  bool HasPendingOutput() const { return !pending_.empty(); }
  std::size_t outputRoom() const { return limits_.output - pending_.size(); }

  // The peer has closed its end or the line broke, seen without reading
  // what it sent before (that may still be in the input).
  bool PeerGone() const;
  // What poll() should wait for: input while there is room for it, output
  // while some waits.
  short PollEvents() const;

 private:
  int fd_;
  BufferLimits limits_;
  std::string input_;
  std::string pending_;
  bool failed_ = false;
};

// A listening socket.
class Listener {
 public:
  // Binds and listens, or answers the system's reason.
  static Result<std::unique_ptr<Listener>> Open(const Endpoint& endpoint);
  ~Listener();
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  int fd() const { return fd_; }
  std::uint16_t port() const { return port_; }
  std::string Address() const;  // "HOST:PORT" as bound
  // Bound to a loopback address only: no other computer can connect.
  bool loopback() const { return loopback_; }
  // A client waiting to be accepted, or null; `peer` names it.
  std::unique_ptr<Connection> Accept(std::string& peer, BufferLimits limits = {});

 private:
  Listener(int fd, std::string host, std::uint16_t port, bool loopback)
      : fd_(fd), host_(std::move(host)), port_(port), loopback_(loopback) {}
  int fd_;
  std::string host_;
  std::uint16_t port_;
  bool loopback_;
};

// A connection being made to a program that listens, without blocking: the
// endpoint's addresses are tried in turn (a name such as "localhost" may
// stand for ::1 and 127.0.0.1, and the program listen on one of them).
class Dialer {
 public:
  // Starts connecting, or answers why the host cannot be resolved.
  // A connection refused, at once or later, shows through Finish. The host
  // is resolved at once (a name, not a number, may take the resolver's time).
  static Result<std::unique_ptr<Dialer>> Start(const Endpoint& endpoint);
  ~Dialer();
  Dialer(const Dialer&) = delete;
  Dialer& operator=(const Dialer&) = delete;

  // The socket under way (poll it for POLLOUT), or -1 once it has failed.
  int fd() const { return fd_; }
  // Looks without waiting. The connection once it is made (the dialer has
  // then handed it over); null while it is under way, or when every address
  // failed: failed() then holds, and error() says why.
  std::unique_ptr<Connection> Finish(BufferLimits limits = {});
  bool failed() const { return fd_ < 0; }
  const std::string& error() const { return error_; }
  std::string Address() const { return address_; }  // "HOST:PORT" as asked

 private:
  struct Target;
  Dialer(std::vector<Target> targets, std::string address);
  // Starts on the next address; false when none is left.
  bool Next();

  std::vector<Target> targets_;
  std::size_t next_ = 0;
  int fd_ = -1;
  std::string address_;
  std::string error_;
};

// Waits, at most timeoutMs (0: only looks), until one of them has something
// to do: a client for the listener, the dialer's connection made or failed,
// input or room for output on the connection. Any may be null; with none
// there is nothing to wait for and it answers at once. False when the wait
// itself failed (a signal that cuts it short is no failure).
bool WaitForActivity(const Listener* listener, const Dialer* dialer, const Connection* connection,
                     int timeoutMs);

}  // namespace pellux::net
