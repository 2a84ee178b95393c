// The stub on its sockets: clients that do not play by the rules (never
// reading, a packet without end), a debugger that reconnects at once, a
// second one refused, and pellux-headless however fast its debugger comes
// and goes.
#include "gdbserver/gdb_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/gdb_client.h"
#include "tests/test_support.h"
#include "tests/value_or_empty.h"
#include "tools/headless_gdb.h"
#include "tools/headless_session.h"

namespace pellux {
namespace {

using test::CalculatorFixture;
using test::Client;
using test::NopRom;

// A server over a calculator of NOPs and its log.
struct ServerFixture {
  explicit ServerFixture(std::unique_ptr<net::Listener> listener = nullptr)
      : server(*fixture.calc, std::move(listener), [this](const std::string& line) { log.push_back(line); }) {
  }

  // A client on a socket pair with small kernel buffers, so that what it
  // does not read soon comes back on the server.
  std::unique_ptr<Client> PairedClient() {
    int ends[2];
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    const int small = 4096;
    for (const int end : ends) {
      setsockopt(end, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
      setsockopt(end, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    }
    server.Attach(std::make_unique<net::Connection>(ends[0], gdb::Server::kLimits), "test");
    return std::make_unique<Client>(ends[1]);
  }
  // Sends the packet and serves the line until the reply is in: the
  // client's packets since the last ask.
  std::vector<std::string> Ask(Client& client, std::string_view packet) {
    client.packets.clear();
    client.Write(gdb::FramePacket(packet));
    for (int round = 0; round < 10000 && client.packets.empty(); ++round) {
      server.Poll(0);
      client.Read();
    }
    return client.packets;
  }
  bool Logged(std::string_view start) const {
    for (const std::string& line : log) {
      if (line.starts_with(start)) return true;
    }
    return false;
  }

  CalculatorFixture fixture{NopRom()};
  std::vector<std::string> log;
  gdb::Server server;
};

std::unique_ptr<net::Listener> Loopback() {
  auto listener = test::ValueOrEmpty(net::Listener::Open(net::Endpoint{"127.0.0.1", 0}));
  EXPECT_TRUE(listener);
  return listener;
}

// A client that sends requests and reads nothing is held back once a few
// replies wait: the server stops reading it (its writes block), and when it
// reads at last, every reply is there, in order.
TEST(GdbServer, AClientThatNeverReadsIsHeldBackAndLosesNothing) {
  ServerFixture f;
  for (std::uint32_t k = 0; k < 64; ++k) f.fixture.calc->ram[0x1000 + k] = static_cast<std::uint8_t>(k);
  const std::unique_ptr<Client> client = f.PairedClient();
  // Request i reads 2 KB from 0x1000 + i % 64, whose first byte is i % 64.
  std::string stream;
  std::vector<std::size_t> ends;  // where each request ends in the stream
  for (std::uint32_t i = 0; i < 20000; ++i) {
    std::string request = "m";
    request += gdb::HexLong(0x1000 + i % 64);
    request += ",800";
    stream += gdb::FramePacket(request);
    ends.push_back(stream.size());
  }
  std::size_t written = 0;
  int blocked = 0;
  while (written < stream.size() && blocked < 50) {
    const std::size_t n = client->Write(std::string_view(stream).substr(written, 4096));
    written += n;
    blocked = n == 0 ? blocked + 1 : 0;
    f.server.Poll(0);
  }
  ASSERT_LT(written, stream.size()) << "the server read every request without the replies being read";
  const std::size_t whole =
      static_cast<std::size_t>(std::upper_bound(ends.begin(), ends.end(), written) - ends.begin());
  for (int round = 0; round < 100000 && client->packets.size() < whole; ++round) {
    client->Read();
    f.server.Poll(0);
  }
  ASSERT_EQ(client->packets.size(), whole);
  for (std::size_t i = 0; i < whole; ++i) {
    ASSERT_EQ(client->packets[i].size(), 0x1000u) << i;
    EXPECT_EQ(client->packets[i].substr(0, 2), gdb::HexBytes(std::string(1, static_cast<char>(i % 64)))) << i;
  }
  EXPECT_TRUE(f.server.attached());
}

// The endless packet: its bytes are read and dropped at the limit (the
// client hears one '-'), however long it runs, and what follows its end is
// answered as usual.
TEST(GdbServer, APacketWithoutEndIsDroppedAtTheLimitAndTheLineGoesOn) {
  ServerFixture f;
  const std::unique_ptr<Client> client = f.PairedClient();
  ASSERT_EQ(client->Write("$"), 1u);
  const std::string chunk(4096, 'C');
  constexpr std::size_t kEndless = std::size_t{1} << 20;
  std::size_t sent = 0;
  for (int round = 0; round < 100000 && sent < kEndless; ++round) {
    sent += client->Write(std::string_view(chunk).substr(0, std::min(chunk.size(), kEndless - sent)));
    f.server.Poll(0);
    client->Read();
  }
  EXPECT_EQ(sent, kEndless);
  client->Write("#00");
  EXPECT_EQ(f.Ask(*client, "?"), std::vector<std::string>{"T05thread:1;"});
  EXPECT_EQ(client->acks, "-+");
}

// Closing and connecting again at once: the new connection may arrive
// before the old one's end has been read. It is taken, never refused.
TEST(GdbServer, ADebuggerThatReconnectsAtOnceIsAccepted) {
  ServerFixture f(Loopback());
  const std::uint16_t port = f.server.listener()->port();
  for (int i = 0; i < 20; ++i) {
    SCOPED_TRACE(i);
    const std::unique_ptr<Client> first = Client::To(port);
    ASSERT_TRUE(first);
    ASSERT_EQ(f.Ask(*first, "?"), std::vector<std::string>{"T05thread:1;"});
    first->Close();
    const std::unique_ptr<Client> second = Client::To(port);
    ASSERT_TRUE(second);
    EXPECT_EQ(f.Ask(*second, "?"), std::vector<std::string>{"T05thread:1;"});
    second->Close();
    for (int round = 0; round < 10000 && f.server.attached(); ++round) f.server.Poll(0);
  }
  EXPECT_FALSE(f.Logged("refused"));
}

// While one is attached, another is told why it cannot be, in a reply gdb
// prints, and the line is closed; the first goes on.
TEST(GdbServer, ASecondDebuggerIsToldWhyItIsRefused) {
  ServerFixture f(Loopback());
  const std::uint16_t port = f.server.listener()->port();
  const std::unique_ptr<Client> first = Client::To(port);
  ASSERT_EQ(f.Ask(*first, "?"), std::vector<std::string>{"T05thread:1;"});
  const std::unique_ptr<Client> second = Client::To(port);
  second->Write(gdb::FramePacket("qSupported"));
  bool open = true;
  for (int round = 0; round < 10000 && open; ++round) {
    f.server.Poll(0);
    open = second->Read();
  }
  EXPECT_FALSE(open);
  EXPECT_EQ(second->acks, "+");
  EXPECT_EQ(second->packets,
            std::vector<std::string>{"E.another debugger is attached to Pellux; it serves one at a time"});
  EXPECT_TRUE(f.Logged("refused a debugger from 127.0.0.1:"));
  EXPECT_EQ(f.Ask(*first, "qC"), std::vector<std::string>{"QC1"});
}

// pellux-headless ends with its first debugger's session, whether that
// debugger connected and closed before the runner looked, or stayed a while.
TEST(HeadlessUnderGdb, ADebuggerThatComesAndGoesAtOnceEndsTheRunAsOneThatStays) {
  for (const bool atOnce : {true, false}) {
    SCOPED_TRACE(atOnce ? "at once" : "after a reply");
    HeadlessSession session(NopRom().bytes(), Pacing::Manual);
    std::unique_ptr<net::Listener> listener = Loopback();
    const std::uint16_t port = listener->port();
    std::thread debugger;
    if (atOnce) {
      Client::To(port);  // connects and closes before the runner looks
    } else {
      debugger = std::thread([port] {
        const std::unique_ptr<Client> client = Client::To(port);
        client->Write(gdb::FramePacket("?"));
        for (int round = 0; round < 1000000 && client->packets.empty(); ++round) client->Read();
      });
    }
    EXPECT_EQ(RunUnderDebugger(session, std::move(listener), std::nullopt), DebugEnd::Detached);
    if (debugger.joinable()) debugger.join();
    EXPECT_EQ(session.Now(), 0);  // held all along: no time passed for it
  }
}

// Under a real clock, the time a debugger holds the machine is not emulated
// time: not in the run's figure, and not charged to the timers afterwards.
TEST(HeadlessUnderGdb, TheTimeTheMachineIsHeldIsNotEmulatedTime) {
  // move.b #1,$600015 (the ticks run); move.b #0,$600005 (low power, no
  // tick wakes it): asleep for good, so each idle pass charges the time
  // since the last one.
  HeadlessSession session(NopRom()
                              .Code(test::RomBuilder::kDefaultPc,
                                    {0x13FC, 0x0001, 0x0060, 0x0015, 0x13FC, 0x0000, 0x0060, 0x0005, 0x60FE})
                              .bytes(),
                          Pacing::Manual);
  auto& clock = static_cast<ManualClock&>(session.clock());
  session.RunUntil(100);
  ASSERT_EQ(session.driver().mode(), Driver::Mode::Asleep);
  const std::int64_t now = session.Now();
  const std::uint32_t ticks = session.calculator().tickCount;
  session.Hold();
  clock.AdvanceTicks(5 * 1024);  // five seconds at a gdb prompt
  EXPECT_EQ(session.Now(), now);
  session.Release();
  EXPECT_EQ(session.Now(), now);
  session.Pass();  // one idle pass: one tick
  EXPECT_EQ(session.Now(), now + 1);
  EXPECT_EQ(session.calculator().tickCount, ticks + 1);
}

}  // namespace
}  // namespace pellux
