#include "tests/fuzz/socket_link_fuzz.h"

#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "linkserver/link_wire.h"
#include "linkserver/socket_link.h"
#include "machine/calculator.h"
#include "machine/driver.h"
#include "tests/link_programs.h"

namespace pellux::fuzz {

namespace {

namespace wire = link_wire;

constexpr std::uint8_t kHelloFirst = 0x01;
constexpr std::uint8_t kPeerReads = 0x02;
constexpr std::uint8_t kFramedBit = 0x80;
constexpr std::uint8_t kLengthMask = 0x7F;
// Bytes the peer keeps to write when the socket takes no more: the rest of
// a chunk that does not fit is dropped.
constexpr std::size_t kMaxPending = 4096;

// The machine every input starts from, built once: it sends a message and
// keeps what it receives.
const Calculator& BaseMachine() {
  static const Calculator machine(test::InterruptDrivenRom(test::LinkMessage(600, 3)).bytes());
  return machine;
}

// Checks what the link sent, as far as it has come: its hello, then whole
// frames of the kinds a link sends.
class OutputCheck {
 public:
  std::string Feed(std::string_view bytes) {
    buffer_ += bytes;
    if (!helloSeen_) {
      if (buffer_.size() < wire::kHelloBytes) return {};
      if (buffer_.substr(0, wire::kHelloBytes) != wire::Hello())
        return "the link's first bytes are not its hello";
      buffer_.erase(0, wire::kHelloBytes);
      helloSeen_ = true;
    }
    std::size_t used = 0;
    for (;;) {
      const wire::Decoded frame = wire::DecodeFrame(std::string_view(buffer_).substr(used));
      if (frame.status == wire::Decoded::Status::Incomplete) break;
      if (frame.status == wire::Decoded::Status::Bad) return "the link sent a bad frame: " + frame.problem;
      if (frame.kind == wire::FrameKind::Busy) return "an attached link refused its own peer";
      used += frame.length;
    }
    buffer_.erase(0, used);
    return {};
  }

 private:
  std::string buffer_;
  bool helloSeen_ = false;
};

}  // namespace

std::string RunSocketLinkOnBytes(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return {};
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return "no socket pair";
  // Small buffers, so that back-pressure comes within a few passes.
  const int small = 4096;
  for (const int fd : fds) setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
  int peer = fds[1];

  Calculator calc = BaseMachine();
  ManualClock clock;
  clock.passTicks = 1;
  Driver driver(calc, clock);
  std::unique_ptr<SocketLink> link =
      SocketLink::Attach(std::make_unique<net::Connection>(fds[0], SocketLink::kLimits), "the fuzzer");
  driver.Plug(link.get());

  const std::uint8_t options = data[0];
  const unsigned passes = 1 + ((options >> 2) & 0x03);
  std::string pending = (options & kHelloFirst) ? wire::Hello() : std::string();
  OutputCheck output;
  bool closed = false;
  std::string told;
  auto look = [&]() -> std::string {
    for (const std::string& message : link->TakeMessages()) {
      if (message.empty()) return "an empty message";
      told += message + "\n";
    }
    if (closed && link->state() != SocketLink::State::Closed) return "the link came back after it was closed";
    if (link->state() == SocketLink::State::Closed) {
      closed = true;
      if (LinkPlugged(calc)) return "the cable is plugged with nobody at the other end";
      if (told.find("the connection is closed") == std::string::npos &&
          told.find("went away") == std::string::npos)
        return "the connection closed untold";
    }
    return {};
  };

  std::size_t at = 1;
  while (at < size) {
    const std::uint8_t header = data[at++];
    const std::size_t length = std::min<std::size_t>(header & kLengthMask, size - at);
    const std::span<const std::uint8_t> chunk(data + at, length);
    at += length;
    if (header & kFramedBit) {
      if (!chunk.empty()) pending += wire::BytesFrame(chunk);
    } else {
      pending.append(reinterpret_cast<const char*>(chunk.data()), chunk.size());
    }
    if (peer >= 0 && !pending.empty()) {
      const ssize_t sent = send(peer, pending.data(), pending.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
      if (sent > 0) pending.erase(0, static_cast<std::size_t>(sent));
      if (pending.size() > kMaxPending) pending.resize(kMaxPending);
    }
    for (unsigned round = 0; round < passes; ++round) driver.Pass();
    if (options & kPeerReads) {
      if (std::string trouble = output.Feed(test::ReadWaiting(peer)); !trouble.empty()) return trouble;
    }
    if (std::string trouble = look(); !trouble.empty()) return trouble;
  }

  // The other end goes away: the link must see it, say so and unplug.
  if (std::string trouble = output.Feed(test::ReadWaiting(peer)); !trouble.empty()) return trouble;
  close(peer);
  peer = -1;
  for (unsigned round = 0; round < 4 && link->state() != SocketLink::State::Closed; ++round) driver.Pass();
  if (link->state() != SocketLink::State::Closed) return "the peer went away unseen";
  driver.Pass();
  if (std::string trouble = look(); !trouble.empty()) return trouble;
  driver.Plug(nullptr);
  return {};
}

}  // namespace pellux::fuzz
