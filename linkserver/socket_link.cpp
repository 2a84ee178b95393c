#include "linkserver/socket_link.h"

#include <array>
#include <deque>
#include <limits>
#include <optional>
#include <span>
#include <utility>

#include "linkserver/link_wire.h"
#include "machine/calculator.h"

namespace pellux {

namespace {

namespace wire = link_wire;

// Messages kept for a host that does not take them: the latest.
constexpr std::size_t kMaxMessages = 64;
// Bytes that crossed within this much link time mean a transfer was under way.
constexpr std::uint64_t kTransferUnits = kLinkUnitsPerSecond;

std::string OpenPortWarning(const std::string& address) {
  return "the link port " + address +
         " is open to other computers: anyone who can reach it can send bytes to the calculator and read "
         "what it sends. Listen on 127.0.0.1 (the default) to link with programs on this computer only.";
}

}  // namespace

struct SocketLink::Impl {
  std::unique_ptr<net::Listener> listener;
  std::unique_ptr<net::Dialer> dialer;
  std::unique_ptr<net::Connection> connection;
  std::string peer;         // the other end's address, or the one dialled
  bool introduced = false;  // its hello came: the cable is in
  std::uint32_t linksMade = 0;
  bool closed = false;
  std::deque<std::string> messages;

  // Link time, for the handshake's time-out and to tell a transfer.
  std::optional<std::uint64_t> lastTime;
  std::uint64_t handshakeUnits = 0;
  std::uint64_t sinceTraffic = std::numeric_limits<std::uint64_t>::max();

  // The peer's bytes of the last frame that the machine had no room for.
  ByteQueue<wire::kMaxFrameBytes> toMachine;
  std::uint8_t linesSent = 0;  // the machine's lines as the peer was last told
  std::uint8_t peerLines = 0;  // the peer's lines as the machine was last told
  bool resetToSend = false;    // a pulse of the machine's, told when there is room

  void Tell(std::string message) {
    if (messages.size() == kMaxMessages) messages.pop_front();
    messages.push_back(std::move(message));
  }
  std::string Who() const { return (introduced ? "the Pellux at " : "the program at ") + peer; }
  bool Linked() const { return connection && introduced; }
  bool Handshaking() const { return dialer || (connection && !introduced); }

  void Elapse(std::uint64_t now);
  void Service(Calculator* m);
  void ServeConnection(Calculator* m);
  void AcceptWaiting(Calculator* m);
  void Adopt(std::unique_ptr<net::Connection> client, std::string from);
  void ReadHello(Calculator* m);
  void Drop(Calculator* m);
  void Gone(Calculator* m);
  void Refused(Calculator* m);
  void Hostile(const std::string& problem, Calculator* m);
  bool SendFrame(const std::string& frame, Calculator& m);
  void Outgoing(Calculator& m);
  void Incoming(Calculator& m);
  bool StartsWithBusy() const {
    return connection && !connection->input().empty() &&
           static_cast<std::uint8_t>(connection->input()[0]) ==
               static_cast<std::uint8_t>(wire::FrameKind::Busy);
  }
};

void SocketLink::Impl::Elapse(std::uint64_t now) {
  // A machine replaced under the link starts its own time again.
  const std::uint64_t step = lastTime && now >= *lastTime ? now - *lastTime : 0;
  lastTime = now;
  if (Handshaking()) handshakeUnits += step;
  sinceTraffic =
      sinceTraffic > std::numeric_limits<std::uint64_t>::max() - step ? sinceTraffic : sinceTraffic + step;
}

void SocketLink::Impl::Service(Calculator* m) {
  if (closed) return;
  ServeConnection(m);
  // After the connection: one whose hello has come is not taken for silent.
  AcceptWaiting(m);
}

void SocketLink::Impl::ServeConnection(Calculator* m) {
  if (dialer) {
    if (std::unique_ptr<net::Connection> made = dialer->Finish(kLimits)) {
      dialer.reset();
      Adopt(std::move(made), peer);
    } else if (dialer->failed()) {
      Tell(dialer->error());
      dialer.reset();
      closed = true;
      return;
    }
  }
  if (!connection) return;
  if (!connection->Flush()) return Gone(m);
  const bool open = connection->Receive();
  if (!introduced) {
    ReadHello(m);
    if (!connection) return;
  }
  // A full input buffer is not read, so its end is looked for apart.
  if (!open || (connection->inputFull() && connection->PeerGone())) {
    if (introduced && StartsWithBusy()) return Refused(m);
    Gone(m);
  }
}

void SocketLink::Impl::AcceptWaiting(Calculator* m) {
  if (!listener) return;
  for (;;) {
    std::string from;
    std::unique_ptr<net::Connection> client = listener->Accept(from, kLimits);
    if (!client) return;
    // The one in place may have introduced itself meanwhile.
    if (connection && !introduced) ServeConnection(m);
    if (Linked() && !connection->PeerGone()) {
      client->Send(wire::Hello() + wire::BusyFrame());
      Tell("refused a connection from " + from + ": linked to the Pellux at " + peer +
           " already (one at a time)");
      continue;  // closing it ends the refusal
    }
    if (Linked()) {
      Gone(m);
    } else if (connection) {
      // One that never introduces itself would keep the place for ever.
      Tell("gave up on " + Who() + ", which had not introduced itself, for " + from);
      Drop(m);
    }
    Adopt(std::move(client), from);
  }
}

void SocketLink::Impl::Adopt(std::unique_ptr<net::Connection> client, std::string from) {
  connection = std::move(client);
  peer = std::move(from);
  introduced = false;
  handshakeUnits = 0;
  connection->Send(wire::Hello());
}

void SocketLink::Impl::ReadHello(Calculator* m) {
  const wire::HelloCheck check = wire::CheckHello(connection->input());
  using Status = wire::HelloCheck::Status;
  switch (check.status) {
    case Status::Incomplete:
      return;
    case Status::NotPellux:
      return Hostile("is not a Pellux link (it began with \"" + wire::Printable(connection->input()) + "\")",
                     m);
    case Status::OtherVersion:
      return Hostile("speaks version " + std::to_string(check.version) +
                         " of the Pellux link and this one version " + std::to_string(wire::kVersion) +
                         " (link two Pellux programs of the same version)",
                     m);
    case Status::Good:
      break;
  }
  connection->Take(wire::kHelloBytes);
  introduced = true;
  toMachine.Clear();
  linesSent = peerLines = 0;
  resetToSend = false;
  sinceTraffic = std::numeric_limits<std::uint64_t>::max();
  if (StartsWithBusy()) return Refused(m);
  ++linksMade;
  Tell("linked to the Pellux at " + peer);
}

void SocketLink::Impl::Drop(Calculator* m) {
  connection.reset();
  introduced = false;
  toMachine.Clear();
  // The cable is pulled: what was on it goes, and the calculator's software
  // times out as with a real one.
  if (m && LinkPlugged(*m)) PlugLink(*m, false);
  if (!listener) closed = true;
}

void SocketLink::Impl::Gone(Calculator* m) {
  if (!introduced) {
    Tell(Who() + " went away before it introduced itself");
  } else {
    const bool transfer = sinceTraffic < kTransferUnits || !toMachine.empty() || (m && LinkBusy(*m));
    Tell(Who() + " went away" + (transfer ? " in the middle of a transfer" : "") +
         ": the cable is unplugged");
  }
  Drop(m);
}

void SocketLink::Impl::Refused(Calculator* m) {
  Tell(Who() + " is linked to another program already (it takes one at a time): the connection is closed");
  Drop(m);
}

void SocketLink::Impl::Hostile(const std::string& problem, Calculator* m) {
  Tell(Who() + " " + problem + ": the connection is closed");
  Drop(m);
}

bool SocketLink::Impl::SendFrame(const std::string& frame, Calculator& m) {
  if (connection->outputRoom() < frame.size()) return false;  // the next pass, maybe
  if (connection->Send(frame)) return true;
  Gone(&m);
  return false;
}

void SocketLink::Impl::Outgoing(Calculator& m) {
  // A pulse cuts off what the machine sent before it (the pass does not
  // tell the order, so the bytes of the whole pass go).
  if (TakeLinkReset(m)) {
    while (LinkTake(m)) {
    }
    resetToSend = true;
    sinceTraffic = 0;
  }
  if (resetToSend) {
    if (!SendFrame(wire::ResetFrame(), m)) return;
    resetToSend = false;
  }
  // Only as many bytes as the output has room for: the rest wait in the
  // machine, and its transmitter waits behind them.
  std::array<std::uint8_t, wire::kMaxFrameBytes> bytes;
  while (connection->outputRoom() > 2) {
    const std::size_t want = std::min(bytes.size(), connection->outputRoom() - 2);
    std::size_t count = 0;
    while (count < want) {
      const std::optional<std::uint8_t> byte = LinkTake(m);
      if (!byte) break;
      bytes[count++] = *byte;
    }
    if (count == 0) break;
    sinceTraffic = 0;
    if (!SendFrame(wire::BytesFrame(std::span(bytes).first(count)), m)) return;
    if (count < want) break;
  }
  const std::uint8_t held = LinkLinesHeld(m);
  if (held != linesSent && SendFrame(wire::LinesFrame(held), m)) linesSent = held;
}

void SocketLink::Impl::Incoming(Calculator& m) {
  while (!toMachine.empty() && LinkRoom(m) > 0) LinkPut(m, *toMachine.Pop());
  if (!toMachine.empty()) return;  // nothing more is read until they are in
  const std::string_view input = connection->input();
  std::size_t used = 0;
  while (toMachine.empty()) {
    const wire::Decoded frame = wire::DecodeFrame(input.substr(used));
    if (frame.status == wire::Decoded::Status::Incomplete) break;
    if (frame.status == wire::Decoded::Status::Bad) return Hostile("sent " + frame.problem, &m);
    used += frame.length;
    bool linesChanged = false;
    switch (frame.kind) {
      case wire::FrameKind::Bytes:
        sinceTraffic = 0;
        for (const char c : frame.bytes) {
          const auto byte = static_cast<std::uint8_t>(c);
          if (!toMachine.empty() || !LinkPut(m, byte)) toMachine.Push(byte);
        }
        break;
      case wire::FrameKind::Lines:
        linesChanged = frame.lines != peerLines;
        peerLines = frame.lines;
        SetLinkPeerLines(m, frame.lines);
        break;
      case wire::FrameKind::Reset:
        sinceTraffic = 0;
        toMachine.Clear();
        ResetLinkFromPeer(m);
        break;
      case wire::FrameKind::Busy:
        return Refused(&m);
    }
    // Each change of the lines holds for a pass of this machine at least,
    // so a program that watches them sees every one.
    if (linesChanged) break;
  }
  connection->Take(used);
}

SocketLink::SocketLink(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

SocketLink::~SocketLink() = default;

Result<std::unique_ptr<SocketLink>> SocketLink::Listen(const net::Endpoint& endpoint) {
  Result<std::unique_ptr<net::Listener>> opened = net::Listener::Open(endpoint);
  if (!opened.ok()) return opened.error();
  std::unique_ptr<net::Listener> listener = std::move(opened).value();
  auto impl = std::make_unique<Impl>();
  if (!listener->loopback()) impl->Tell(OpenPortWarning(listener->Address()));
  impl->listener = std::move(listener);
  return std::unique_ptr<SocketLink>(new SocketLink(std::move(impl)));
}

Result<std::unique_ptr<SocketLink>> SocketLink::Connect(const net::Endpoint& endpoint) {
  Result<std::unique_ptr<net::Dialer>> started = net::Dialer::Start(endpoint);
  if (!started.ok()) return started.error();
  std::unique_ptr<net::Dialer> dialer = std::move(started).value();
  auto impl = std::make_unique<Impl>();
  impl->peer = dialer->Address();
  impl->dialer = std::move(dialer);
  return std::unique_ptr<SocketLink>(new SocketLink(std::move(impl)));
}

std::unique_ptr<SocketLink> SocketLink::Attach(std::unique_ptr<net::Connection> connection,
                                               const std::string& peer) {
  auto impl = std::make_unique<Impl>();
  impl->Adopt(std::move(connection), peer);
  return std::unique_ptr<SocketLink>(new SocketLink(std::move(impl)));
}

void SocketLink::Exchange(Calculator& m) {
  Impl& link = *impl_;
  link.Elapse(LinkTime(m));
  link.Service(&m);
  if (link.Handshaking() && link.handshakeUnits >= kHandshakeUnits) {
    link.Tell(link.dialer
                  ? "no answer from " + link.peer + " within 10 seconds: given up"
                  : link.Who() + " did not introduce itself as a Pellux link within 10 seconds: given up");
    link.dialer.reset();
    link.Drop(&m);
  }
  const bool linked = link.Linked();
  if (LinkPlugged(m) != linked) PlugLink(m, linked);
  if (!linked) {
    TakeLinkReset(m);  // a pulse with no cable reaches nobody
    return;
  }
  link.Outgoing(m);
  if (!link.connection) return;
  link.Incoming(m);
  if (link.connection && !link.connection->Flush()) link.Gone(&m);
}

void SocketLink::Poll(int timeoutMs) {
  Impl& link = *impl_;
  if (!net::WaitForActivity(link.listener.get(), link.dialer.get(), link.connection.get(), timeoutMs)) return;
  link.Service(nullptr);
}

SocketLink::State SocketLink::state() const {
  if (impl_->Linked()) return State::Connected;
  if (impl_->listener) return State::Listening;
  if (impl_->closed) return State::Closed;
  return State::Connecting;
}

std::uint32_t SocketLink::LinksMade() const { return impl_->linksMade; }

std::string SocketLink::Address() const {
  if (impl_->listener && !impl_->Linked()) return impl_->listener->Address();
  return impl_->peer;
}

std::uint16_t SocketLink::ListeningPort() const { return impl_->listener ? impl_->listener->port() : 0; }

std::vector<std::string> SocketLink::TakeMessages() {
  std::vector<std::string> taken(impl_->messages.begin(), impl_->messages.end());
  impl_->messages.clear();
  return taken;
}

}  // namespace pellux
