// The link cable between two Pellux programs: a TCP socket whose two ends
// are the two calculators' link ports. The wires of one are the wires of the
// other: the bytes each sends, the lines each holds low and its reset pulses
// cross the socket as small framed messages (linkserver/link_wire.h).
// Nothing blocks: the machine's loop lets the peer exchange after each
// pass, and the socket is polled without waiting.
//
// The cable is in (PlugLink) only while a Pellux link is connected and has
// introduced itself; otherwise the machine's bytes wait and time out as
// with no cable. One peer at a time: a listener refuses a second one while
// it is linked, and takes a new one once the old one has gone.
//
// Bounded both ways, with back-pressure: the machine's bytes are taken
// (LinkTake) only while the connection's output has room, so a peer that
// reads nothing stalls this calculator's transmitter, whose own time-out
// then applies; the peer's bytes go into the machine only as LinkRoom
// allows, and nothing more is read from the socket while they wait, so
// TCP holds the sending end back. Bytes that are no Pellux link close the
// connection with a message.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "io/connection.h"
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

  // Waits for another Pellux on the endpoint, or answers why it cannot
  // listen there. Binding anything but loopback adds a warning to the
  // messages (anyone who reaches the port talks to the calculator).
  static Result<std::unique_ptr<SocketLink>> Listen(const net::Endpoint& endpoint);
  // Connects to another Pellux that is listening, or answers why the
  // address is wrong. A refused or failed connection shows as Closed.
  static Result<std::unique_ptr<SocketLink>> Connect(const net::Endpoint& endpoint);
  // Links over a socket already connected (a socket pair); `peer` names the
  // other end in messages. It shows as Connecting until the other end has
  // introduced itself.
  static std::unique_ptr<SocketLink> Attach(std::unique_ptr<net::Connection> connection,
                                            const std::string& peer);

  // The buffers of a link's connection: a few dozen passes' worth of bytes.
  static constexpr net::BufferLimits kLimits{4096, 4096};
  // How long the other end has, in link time, to connect and introduce
  // itself before it is given up.
  static constexpr std::uint64_t kHandshakeUnits = 10 * kLinkUnitsPerSecond;

  ~SocketLink() override;

  void Exchange(Calculator& m) override;

  // Waits up to timeoutMs (-1: until something happens) for the network,
  // and takes what came: a connection, the other end's introduction. For a
  // program that waits for its peer before its machine runs; nothing
  // reaches a machine (Exchange does that).
  void Poll(int timeoutMs);

  State state() const;
  // How many times another Pellux has linked here (introduced itself), one
  // that has gone again since included: a peer may link and go within one
  // Poll, never showing as Connected.
  std::uint32_t LinksMade() const;
  // "127.0.0.1:5000": where it listens, or whom it is connected to.
  std::string Address() const;
  // The port it listens on (the system's choice for port 0), or 0.
  std::uint16_t ListeningPort() const;
  // What the user should know, in order, since the last call: connected,
  // the other end went away, what was wrong with what it sent, warnings.
  std::vector<std::string> TakeMessages();

 private:
  struct Impl;
  explicit SocketLink(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace pellux
