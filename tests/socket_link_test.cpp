// The link cable between two Pellux programs on a socket: two machines
// joined over loopback, hostile and vanishing peers, one peer at a time,
// and the back-pressure that keeps both ends bounded.
#include "linkserver/socket_link.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "linkserver/link_wire.h"
#include "machine/driver.h"
#include "machine/memory_bus.h"
#include "tests/link_programs.h"
#include "tests/test_support.h"
#include "tests/value_or_empty.h"

namespace pellux {
namespace {

using test::CalculatorFixture;
using test::LevelHandler;
using test::NopRom;
using test::RomBuilder;
using namespace test::asm68k;
namespace wire = link_wire;

constexpr std::uint32_t kMain = test::kLinkMain;
constexpr std::uint32_t kInbox = test::kLinkInbox;

// Sleeps for ever, its link port as it started: engine and time-outs on.
RomBuilder QuietRom() {
  RomBuilder rom = test::LinkBaseRom();
  rom.Code(kMain, {kStop, 0x2000, 0x60FA});
  return rom;
}

std::string AllMessages(SocketLink& link) {
  std::string all;
  for (const std::string& message : link.TakeMessages()) all += message + "\n";
  return all;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A machine in its own main loop on its own manual clock, one tick a pass,
// with a link plugged in.
struct Station {
  explicit Station(const RomBuilder& rom) : fixture(rom) {
    fixture.clock.passTicks = 1;
    driver = std::make_unique<Driver>(*fixture.calc, fixture.clock);
  }
  void Plug(std::unique_ptr<SocketLink> l) {
    link = std::move(l);
    driver->Plug(link.get());
  }
  void Unplug() {
    driver->Plug(nullptr);
    link.reset();
  }
  Calculator& calc() { return *fixture.calc; }
  CalculatorFixture fixture;
  std::unique_ptr<Driver> driver;
  std::unique_ptr<SocketLink> link;
};

std::unique_ptr<SocketLink> ListenOnLoopback() {
  std::unique_ptr<SocketLink> link = test::ValueOrEmpty(SocketLink::Listen({"127.0.0.1", 0}));
  EXPECT_TRUE(link);
  return link;
}

std::unique_ptr<SocketLink> ConnectTo(const SocketLink& listener) {
  std::unique_ptr<SocketLink> link =
      test::ValueOrEmpty(SocketLink::Connect({"127.0.0.1", listener.ListeningPort()}));
  EXPECT_TRUE(link);
  return link;
}

// Passes of the given machines, interleaved, until the condition holds
// (answers whether it did). Between rounds that change nothing on the
// network, a short look at the sockets lets the system deliver.
bool PassUntil(const std::vector<Station*>& stations, const std::function<bool()>& done, int rounds) {
  for (int round = 0; round < rounds; ++round) {
    if (done()) return true;
    for (Station* station : stations) {
      station->driver->Pass();
      if (station->link && station->link->state() != SocketLink::State::Connected) station->link->Poll(0);
    }
  }
  return done();
}

// Passes of the station until its link has said `text`; answers all it said.
std::string PassUntilSaid(Station& station, const std::string& text, int rounds) {
  std::string said;
  PassUntil(
      {&station},
      [&] {
        said += AllMessages(*station.link);
        return Has(said, text);
      },
      rounds);
  return said;
}

// A plain connection to the listening station's link, made while it runs.
std::unique_ptr<net::Connection> DialRaw(Station& listener) {
  const std::unique_ptr<net::Dialer> dialer =
      test::ValueOrEmpty(net::Dialer::Start({"127.0.0.1", listener.link->ListeningPort()}));
  EXPECT_TRUE(dialer);
  std::unique_ptr<net::Connection> client;
  PassUntil(
      {&listener},
      [&] {
        if (!client && dialer) client = dialer->Finish();
        return client != nullptr;
      },
      2000);
  EXPECT_TRUE(client) << "no connection to the listener";
  return client;
}

// A program at the other end of a socket that is not a SocketLink: it sends
// what the test says and reads what it is sent.
struct RawPeer {
  explicit RawPeer(int fd) : fd(fd) {}
  ~RawPeer() {
    if (fd >= 0) close(fd);
  }
  // Sends what the socket takes now; answers how many bytes.
  std::size_t Write(std::string_view bytes) {
    const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    return sent > 0 ? static_cast<std::size_t>(sent) : 0;
  }
  // All that has arrived.
  std::string Read() { return test::ReadWaiting(fd); }
  int fd;
};

// A SocketLink on one end of a local socket pair, a RawPeer on the other.
// The link's socket sends at most `sendBuffer` bytes ahead (0: the system's
// default).
std::pair<std::unique_ptr<SocketLink>, std::unique_ptr<RawPeer>> LinkAndRawPeer(int sendBuffer = 0) {
  int fds[2];
  EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0) << std::strerror(errno);
  if (sendBuffer > 0) {
    setsockopt(fds[0], SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
    setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
  }
  return {SocketLink::Attach(std::make_unique<net::Connection>(fds[0], SocketLink::kLimits), "the pair"),
          std::make_unique<RawPeer>(fds[1])};
}

// Two machines over loopback: A listens, B connects.
struct LinkedPair {
  LinkedPair(const RomBuilder& romA, const RomBuilder& romB) : a(romA), b(romB) {
    a.Plug(ListenOnLoopback());
    b.Plug(ConnectTo(*a.link));
  }
  bool Link() {
    return PassUntil(
        {&a, &b},
        [&] {
          return a.link->state() == SocketLink::State::Connected &&
                 b.link->state() == SocketLink::State::Connected;
        },
        2000);
  }
  void Pass() {
    a.driver->Pass();
    b.driver->Pass();
  }
  Station a, b;
};

TEST(LinkWire, FramesReadBackAsWritten) {
  const std::vector<std::uint8_t> bytes = test::LinkMessage(255, 3);
  const std::string stream =
      wire::BytesFrame(bytes) + wire::LinesFrame(2) + wire::ResetFrame() + wire::BusyFrame();
  std::string_view rest = stream;
  wire::Decoded frame = wire::DecodeFrame(rest);
  ASSERT_EQ(frame.status, wire::Decoded::Status::Frame);
  EXPECT_EQ(frame.kind, wire::FrameKind::Bytes);
  EXPECT_EQ(std::vector<std::uint8_t>(frame.bytes.begin(), frame.bytes.end()), bytes);
  rest.remove_prefix(frame.length);
  frame = wire::DecodeFrame(rest);
  EXPECT_EQ(frame.kind, wire::FrameKind::Lines);
  EXPECT_EQ(frame.lines, 2);
  rest.remove_prefix(frame.length);
  frame = wire::DecodeFrame(rest);
  EXPECT_EQ(frame.kind, wire::FrameKind::Reset);
  rest.remove_prefix(frame.length);
  frame = wire::DecodeFrame(rest);
  EXPECT_EQ(frame.kind, wire::FrameKind::Busy);
  EXPECT_EQ(frame.length, rest.size());
  // Every frame cut short waits for the rest.
  for (std::size_t cut = 0; cut < 257; ++cut) {
    EXPECT_EQ(wire::DecodeFrame(std::string_view(stream).substr(0, cut)).status,
              cut == 257 ? wire::Decoded::Status::Frame : wire::Decoded::Status::Incomplete)
        << cut;
  }
  EXPECT_EQ(wire::CheckHello(wire::Hello().substr(0, 5)).status, wire::HelloCheck::Status::Incomplete);
  EXPECT_EQ(wire::CheckHello("PELLUX-LINQ").status, wire::HelloCheck::Status::NotPellux);
  EXPECT_EQ(wire::Printable("GET /\r\n\"x\"\\"), "GET /\\x0d\\x0a\\\"x\\\"\\\\");
}

TEST(SocketLink, TwoMachinesTradeMessagesBothWays) {
  const std::vector<std::uint8_t> fromA = test::LinkMessage(700, 7), fromB = test::LinkMessage(500, 13);
  LinkedPair pair(test::InterruptDrivenRom(fromA), test::InterruptDrivenRom(fromB));
  ASSERT_TRUE(pair.Link());
  const std::string port = std::to_string(pair.a.link->ListeningPort());
  EXPECT_TRUE(Has(AllMessages(*pair.b.link), "linked to the Pellux at 127.0.0.1:" + port));
  EXPECT_TRUE(Has(AllMessages(*pair.a.link), "linked to the Pellux at 127.0.0.1:"));
  EXPECT_EQ(pair.b.link->Address(), "127.0.0.1:" + port);

  Calculator& a = pair.a.calc();
  Calculator& b = pair.b.calc();
  ASSERT_TRUE(PassUntil(
      {&pair.a, &pair.b},
      [&] { return b.cpu.a(5) == kInbox + fromA.size() && a.cpu.a(5) == kInbox + fromB.size(); }, 5000));
  for (int i = 0; i < 20; ++i) pair.Pass();
  auto followedByZero = [](std::vector<std::uint8_t> bytes) {
    bytes.push_back(0);
    return bytes;
  };
  EXPECT_EQ(test::Inbox(b, fromA.size() + 1), followedByZero(fromA));
  EXPECT_EQ(test::Inbox(a, fromB.size() + 1), followedByZero(fromB));
  EXPECT_FALSE(LinkBusy(a));
  EXPECT_FALSE(LinkBusy(b));
  EXPECT_EQ(AllMessages(*pair.a.link) + AllMessages(*pair.b.link), "");
}

// The lines each end holds cross, every change seen for a pass at least; a
// reset pulse of one pass's length crosses and costs the other end its
// bytes in flight and raises its error.
TEST(SocketLink, LinesAndResetPulsesCross) {
  // A holds red, then white, then both and lets go (a pulse within one
  // pass), then holds nothing: B counts each change of port 0x0E in D6 and
  // keeps the values at kInbox.
  RomBuilder romA = test::LinkBaseRom();
  // clang-format off
  romA.Code(kMain, {0x303C, 0xFFFF, 0x5340, 0x66FC,           // move.w #$FFFF,d0; subq.w #1,d0; bne.s *-2:
                                                              // the link comes meanwhile
                    kMoveByteToAbs, 0x0001, 0x0060, 0x000E,   // red low
                    0x303C, 0x1000, 0x5340, 0x66FC,           // wait a few passes
                    kMoveByteToAbs, 0x0002, 0x0060, 0x000E,   // white low
                    0x303C, 0x1000, 0x5340, 0x66FC,
                    kMoveByteToAbs, 0x0003, 0x0060, 0x000E,   // both: a reset pulse
                    kMoveByteToAbs, 0x0000, 0x0060, 0x000E,   // and let go at once
                    kBraSelf});
  RomBuilder romB = test::LinkBaseRom();
  romB.Code(kMain, {0x4BF9, 0x0000, kInbox,                  // lea inbox,a5
                    0x7210,                                   // moveq #$10,d1: none held
                    0x1039, 0x0060, 0x000E,                   // loop: move.b lines,d0
                    0xB001,                                   // cmp.b d1,d0
                    0x67F6,                                   // beq.s loop
                    0x1200,                                   // move.b d0,d1
                    0x1AC0,                                   // move.b d0,(a5)+
                    AddqOne(6),                               // addq.l #1,d6
                    0x60EE});                                 // bra.s loop
  // clang-format on
  LinkedPair pair(romA, romB);
  ASSERT_TRUE(pair.Link());
  ASSERT_LT(pair.a.calc().cpu.pc, kMain + 8) << "linked before A moves its lines";
  Calculator& b = pair.b.calc();
  // Bytes on their way to B when the pulse comes: lost, with the error.
  LinkPut(b, 0x41);
  LinkPut(b, 0x42);
  ASSERT_TRUE(PassUntil(
      {&pair.a, &pair.b}, [&] { return pair.a.calc().cpu.pc == kMain + 56; }, 1000));
  for (int i = 0; i < 10; ++i) pair.Pass();
  EXPECT_EQ(b.cpu.d(6), 3u);
  // Bits 2-3 show the other end's lines (bit 4 as it started).
  EXPECT_EQ(test::Inbox(b, 3), (std::vector<std::uint8_t>{0x14, 0x18, 0x10}));
  EXPECT_EQ(PeekByte(b, 0x60000D) & 0x80, 0x80) << "the pulse raised B's error";
  EXPECT_FALSE(LinkBusy(b)) << "the bytes in flight are gone";
}

// Anything but a Pellux link, or a link that then breaks the rules, is told
// and the connection closed; the listener then takes the next one.
TEST(SocketLink, HostileBytesCloseTheConnection) {
  const std::string hello = wire::Hello();
  struct Case {
    std::string bytes;
    const char* says;
  };
  const Case cases[] = {
      {"GET / HTTP/1.1\r\nHost: x\r\n\r\n",
       "is not a Pellux link (it began with \"GET / HTTP/1.1\\x0d\\x0aHost: x\\x0d..."},
      {"+$qSupported:multiprocess+#c6", "is not a Pellux link (it began with \"+$qSupported"},
      {std::string(1, '\0'), "is not a Pellux link (it began with \"\\x00\")"},
      {wire::Hello(2), "speaks version 2 of the Pellux link and this one version 1"},
      {hello + "\x01" + std::string(1, '\0'), "sent a message of no bytes"},
      {hello + "\x02\x07", "sent lines 0x07, where only bits 0 and 1 are lines"},
      {hello + "\x01\x02"
               "ab"
               "\x7f",
       "sent a message of unknown type 0x7f"},
      {hello + std::string(5000, '\x03') + "\xff", "sent a message of unknown type 0xff"},
  };
  Station a(QuietRom());
  a.Plug(ListenOnLoopback());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.says);
    const std::unique_ptr<net::Connection> client = DialRaw(a);
    ASSERT_TRUE(client);
    ASSERT_TRUE(client->Send(c.bytes));
    const std::string said = PassUntilSaid(a, "the connection is closed", 2000);
    ASSERT_TRUE(Has(said, "the connection is closed")) << said;
    EXPECT_TRUE(Has(said, c.says)) << said;
    EXPECT_TRUE(Has(said, "127.0.0.1:")) << "the peer is named: " << said;
    EXPECT_EQ(a.link->state(), SocketLink::State::Listening);
    a.driver->Pass();
    EXPECT_FALSE(LinkPlugged(a.calc()));
    // Closed: what it sent next goes nowhere.
    ASSERT_TRUE(PassUntil(
        {&a}, [&] { return !client->Receive(); }, 2000));
  }
  // A real Pellux is still welcome.
  Station b(QuietRom());
  b.Plug(ConnectTo(*a.link));
  EXPECT_TRUE(PassUntil(
      {&a, &b}, [&] { return a.link->state() == SocketLink::State::Connected; }, 2000));
  EXPECT_TRUE(LinkPlugged(a.calc()));
}

// One peer at a time: a second is refused and told why; once the first has
// gone, the next is taken. The first going away unplugs the cable, and a
// transfer it cut short then times out on the calculator that sent.
TEST(SocketLink, OnePeerAtATimeAndAPeerThatVanishes) {
  const std::vector<std::uint8_t> message = test::LinkMessage(3000, 1);
  Station a(test::InterruptDrivenRom(message));
  Station b(test::InterruptDrivenRom({}));
  Station c(QuietRom());
  a.Plug(ListenOnLoopback());
  b.Plug(ConnectTo(*a.link));
  ASSERT_TRUE(PassUntil(
      {&a, &b},
      [&] {
        return a.link->state() == SocketLink::State::Connected &&
               b.link->state() == SocketLink::State::Connected;
      },
      2000));
  AllMessages(*a.link);

  c.Plug(ConnectTo(*a.link));
  ASSERT_TRUE(PassUntil(
      {&a, &b, &c}, [&] { return c.link->state() == SocketLink::State::Closed; }, 2000));
  EXPECT_TRUE(Has(AllMessages(*c.link), "is linked to another program already (it takes one at a time)"));
  EXPECT_TRUE(Has(AllMessages(*a.link), "refused a connection from 127.0.0.1:"));
  EXPECT_FALSE(LinkPlugged(c.calc()));
  EXPECT_EQ(b.link->state(), SocketLink::State::Connected) << "the first stays linked";

  // Halfway through A's message B goes.
  ASSERT_TRUE(PassUntil(
      {&a, &b}, [&] { return b.calc().cpu.a(5) >= kInbox + 1000; }, 5000));
  b.Unplug();
  ASSERT_TRUE(PassUntil(
      {&a}, [&] { return a.link->state() == SocketLink::State::Listening; }, 2000));
  const std::uint32_t sentBefore = a.calc().cpu.a(3);
  const std::string said = AllMessages(*a.link);
  EXPECT_TRUE(Has(said, "the Pellux at 127.0.0.1:")) << said;
  EXPECT_TRUE(Has(said, "went away in the middle of a transfer: the cable is unplugged")) << said;
  EXPECT_FALSE(LinkPlugged(a.calc()));
  // Unplugged, each byte waits for the cable until the transmitter gives
  // up: two seconds a byte.
  for (int i = 0; i < 5 * 1024; ++i) a.driver->Pass();
  EXPECT_LE(a.calc().cpu.a(3) - sentBefore, 4u) << "bytes sent in five seconds with no cable";
  EXPECT_GE(a.calc().cpu.a(3) - sentBefore, 2u);

  // The place is free again.
  Station d(QuietRom());
  d.Plug(ConnectTo(*a.link));
  EXPECT_TRUE(PassUntil(
      {&a, &d}, [&] { return d.link->state() == SocketLink::State::Connected; }, 2000));
  EXPECT_TRUE(Has(AllMessages(*d.link), "linked to the Pellux at 127.0.0.1:"));
}

// A Pellux that introduces itself and goes before the listener looks: the
// listener never shows it as Connected, and still counts the link made (a
// run that waits for its peer must not wait for ever).
TEST(SocketLink, APeerThatLinksAndGoesAtOnceIsCounted) {
  const std::unique_ptr<SocketLink> listener = ListenOnLoopback();
  const std::unique_ptr<net::Dialer> dialer =
      test::ValueOrEmpty(net::Dialer::Start({"127.0.0.1", listener->ListeningPort()}));
  ASSERT_TRUE(dialer);
  std::unique_ptr<net::Connection> client;
  for (int i = 0; i < 2000 && !client && !dialer->failed(); ++i) {
    pollfd ready{dialer->fd(), POLLOUT, 0};
    ::poll(&ready, 1, 1);
    client = dialer->Finish();
  }
  ASSERT_TRUE(client) << "no connection to the listener";
  ASSERT_TRUE(client->Send(wire::Hello()));
  client.reset();
  EXPECT_EQ(listener->LinksMade(), 0u);

  // The hello and the end of the connection are read in the same look.
  std::string said;
  for (int i = 0; i < 100 && !Has(said, "went away"); ++i) {
    listener->Poll(10);
    said += AllMessages(*listener);
  }
  EXPECT_TRUE(Has(said, "linked to the Pellux at 127.0.0.1:")) << said;
  EXPECT_TRUE(Has(said, "went away")) << said;
  EXPECT_EQ(listener->state(), SocketLink::State::Listening) << "ready for the next one";
  EXPECT_EQ(listener->LinksMade(), 1u);
}

// A connection that never introduces itself keeps the place neither for
// ever nor from a newcomer.
TEST(SocketLink, ASilentPeerDoesNotKeepThePlace) {
  Station a(QuietRom());
  a.Plug(ListenOnLoopback());
  const std::unique_ptr<net::Connection> first = DialRaw(a);
  ASSERT_TRUE(first);
  // Ten seconds of link time, a tick a pass.
  const std::string said =
      PassUntilSaid(a, "did not introduce itself as a Pellux link within 10 seconds", 15 * 1024);
  ASSERT_TRUE(Has(said, "did not introduce itself as a Pellux link within 10 seconds")) << said;
  EXPECT_GT(LinkTime(a.calc()), 9 * kLinkUnitsPerSecond);
  EXPECT_EQ(a.link->state(), SocketLink::State::Listening);

  // Another silent one, and a Pellux right behind it: no time passes
  // (Poll), yet the Pellux is linked.
  const std::unique_ptr<net::Dialer> silent =
      test::ValueOrEmpty(net::Dialer::Start({"127.0.0.1", a.link->ListeningPort()}));
  ASSERT_TRUE(silent);
  std::unique_ptr<net::Connection> second;
  for (int i = 0; i < 2000 && !(second = silent->Finish()); ++i) a.link->Poll(1);
  ASSERT_TRUE(second);
  for (int i = 0; i < 20; ++i) a.link->Poll(1);
  std::unique_ptr<SocketLink> b = ConnectTo(*a.link);
  for (int i = 0; i < 2000 && a.link->state() != SocketLink::State::Connected; ++i) {
    a.link->Poll(1);
    b->Poll(1);
  }
  EXPECT_EQ(a.link->state(), SocketLink::State::Connected);
  EXPECT_TRUE(Has(AllMessages(*a.link), "which had not introduced itself, for 127.0.0.1:"));
}

TEST(SocketLink, ConnectingWhereNobodyListensOrToOtherComputers) {
  std::uint16_t port = 0;
  {
    const std::unique_ptr<SocketLink> gone = ListenOnLoopback();
    port = gone->ListeningPort();
  }
  std::unique_ptr<SocketLink> link = test::ValueOrEmpty(SocketLink::Connect({"127.0.0.1", port}));
  ASSERT_TRUE(link);
  Station a(QuietRom());
  a.Plug(std::move(link));
  ASSERT_TRUE(PassUntil(
      {&a}, [&] { return a.link->state() == SocketLink::State::Closed; }, 2000));
  EXPECT_EQ(AllMessages(*a.link),
            "cannot connect to 127.0.0.1:" + std::to_string(port) + ": Connection refused\n");
  EXPECT_FALSE(LinkPlugged(a.calc()));

  std::unique_ptr<SocketLink> open = test::ValueOrEmpty(SocketLink::Listen({"0.0.0.0", 0}));
  ASSERT_TRUE(open);
  EXPECT_TRUE(Has(AllMessages(*open),
                  " is open to other computers: anyone who can reach it can send bytes to "
                  "the calculator"));
  EXPECT_EQ(AllMessages(*ListenOnLoopback()), "") << "loopback needs no warning";
}

// A peer that floods is held back: the link reads only as the calculator
// takes bytes in, so the system's buffers fill and the peer can write no
// more, however long it goes on.
TEST(SocketLink, APeerThatFloodsIsHeldBack) {
  auto [link, peer] = LinkAndRawPeer(4096);
  Station a(QuietRom());  // takes the first byte in and reads none
  a.Plug(std::move(link));
  std::string stream = wire::Hello();
  const std::vector<std::uint8_t> chunk = test::LinkMessage(255, 1);
  while (stream.size() < (1u << 20)) stream += wire::BytesFrame(chunk);
  std::size_t written = 0;
  for (int pass = 0; pass < 3000; ++pass) {
    written += peer->Write(std::string_view(stream).substr(written));
    a.driver->Pass();
  }
  EXPECT_EQ(a.link->state(), SocketLink::State::Connected) << "slow is not hostile";
  EXPECT_LT(written, 64u * 1024) << "the flood was not held back";
  EXPECT_GT(written, 4096u);
  EXPECT_EQ(PeekByte(a.calc(), 0x60000F), 1) << "the first byte came";
}

// A peer that reads nothing stalls the sender: once the buffers are full,
// the calculator's byte waits for the cable until its transmitter times
// out. What had gone, went whole and in order.
TEST(SocketLink, APeerThatReadsNothingStallsTheTransmitter) {
  auto [link, peer] = LinkAndRawPeer(4096);
  Station a(test::EndlessSenderRom());
  a.Plug(std::move(link));
  peer->Write(wire::Hello());
  Calculator& m = a.calc();
  ASSERT_TRUE(PassUntil(
      {&a}, [&] { return m.cpu.d(7) > 0; }, 60000))
      << m.cpu.d(6) << " bytes sent";
  // The byte that timed out was the one before the last written.
  const std::uint32_t sent = m.cpu.d(6);
  EXPECT_LT(sent, 64u * 1024) << "the sender was not held back";
  EXPECT_GT(LinkTime(m), kLinkTimeoutUnits);
  // The peer reads at last: what had gone before the stall comes whole and
  // in order.
  std::string received;
  for (int i = 0; i < 1000; ++i) {
    a.driver->Pass();
    received += peer->Read();
  }
  ASSERT_EQ(received.substr(0, wire::kHelloBytes), wire::Hello());
  received.erase(0, wire::kHelloBytes);
  std::string bytes;
  while (!received.empty()) {
    const wire::Decoded frame = wire::DecodeFrame(received);
    ASSERT_EQ(frame.status, wire::Decoded::Status::Frame);
    ASSERT_EQ(frame.kind, wire::FrameKind::Bytes);
    bytes += frame.bytes;
    received.erase(0, frame.length);
  }
  ASSERT_GT(bytes.size(), sent - 2);
  for (std::size_t i = 0; i < sent - 2; ++i) {
    ASSERT_EQ(static_cast<std::uint8_t>(bytes[i]), static_cast<std::uint8_t>(i)) << i;
  }
  EXPECT_EQ(static_cast<std::uint8_t>(bytes[sent - 2]), static_cast<std::uint8_t>(sent - 1))
      << "the lost one";
  EXPECT_EQ(a.link->state(), SocketLink::State::Connected);
}

}  // namespace
}  // namespace pellux
