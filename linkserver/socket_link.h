// The link cable between two Pellux programs: a TCP socket whose two ends
// are the two calculators' link ports. The wires of one are the wires of the
// other: the bytes each sends, the lines each holds low and its reset pulses
// cross the socket as small framed messages. Nothing blocks: the machine's
// loop lets the peer exchange after each pass, and the socket is polled
// without waiting.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "gdbserver/connection.h"
#include "machine/link_port.h"

namespace pellux {

class SocketLink : public LinkPeer {
 public:
  enum class State {
    Listening,   // waiting for the other Pellux to connect
    Connecting,  // a connection under way
    Connected,   // the cable is in: bytes cross
    Closed,      // the other end went away or the connection failed
  };

  // Waits for another Pellux on the endpoint; null with `error` when it
  // cannot listen there. Binding anything but loopback adds a warning to the
  // messages (anyone who reaches the port talks to the calculator).
  static std::unique_ptr<SocketLink> Listen(const net::Endpoint& endpoint, std::string& error);
  // Connects to another Pellux that is listening; null with `error` when the
  // address is wrong. A refused or failed connection shows as Closed.
  static std::unique_ptr<SocketLink> Connect(const net::Endpoint& endpoint, std::string& error);

  ~SocketLink() override;

  void Exchange(Calculator& m) override;

  State state() const;
  // "127.0.0.1:5000": where it listens, or whom it is connected to.
  std::string Address() const;
  // What the user should know, in order, since the last call: connected,
  // the other end went away, what was wrong with what it sent, warnings.
  std::vector<std::string> TakeMessages();

 private:
  struct Impl;
  explicit SocketLink(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace pellux
