// The sockets under the gdb stub: where to listen (IPv4 and IPv6), whether
// other computers can reach it, and a connection's bounded buffers.
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "io/connection.h"

namespace pellux::net {
namespace {

TEST(Endpoint, HostAndPortInEveryForm) {
  struct Case {
    const char* text;
    const char* host;  // null: refused
    std::uint16_t port;
    const char* says;  // part of the refusal
  };
  const Case cases[] = {
      {"1234", "127.0.0.1", 1234, ""},
      {"0", "127.0.0.1", 0, ""},
      {"0.0.0.0:80", "0.0.0.0", 80, ""},
      {"localhost:65535", "localhost", 65535, ""},
      {"[::1]:1234", "::1", 1234, ""},
      {"[::]:0", "::", 0, ""},
      {"[fe80::1%lo]:9", "fe80::1%lo", 9, ""},
      {"::1:1234", nullptr, 0, "an IPv6 address goes in brackets"},
      {"[::1]", nullptr, 0, "followed by ':PORT'"},
      {"[::1]1234", nullptr, 0, "followed by ':PORT'"},
      {"[::1:1234", nullptr, 0, "followed by ':PORT'"},
      {"[]:1234", nullptr, 0, "no host"},
      {":1234", nullptr, 0, "no host"},
      {"host:65536", nullptr, 0, "from 0 to 65535"},
      {"host:", nullptr, 0, "from 0 to 65535"},
      {"12x", nullptr, 0, "not '12x'"},
  };
  for (const Case& c : cases) {
    const Result<Endpoint> endpoint = ParseEndpoint(c.text);
    if (!c.host) {
      EXPECT_FALSE(endpoint.ok()) << c.text;
      EXPECT_NE(endpoint.message().find(c.says), std::string::npos) << c.text << ": " << endpoint.message();
      continue;
    }
    ASSERT_TRUE(endpoint.ok()) << c.text << ": " << endpoint.message();
    EXPECT_EQ(endpoint->host, c.host);
    EXPECT_EQ(endpoint->port, c.port);
  }
  EXPECT_EQ(FormatAddress("::1", 1234), "[::1]:1234");
  EXPECT_EQ(FormatAddress("127.0.0.1", 0), "127.0.0.1:0");
}

// Binding: the system's port shows in the address, and only loopback
// addresses count as this computer alone. IPv6 is skipped where the host
// has no IPv6 loopback.
TEST(Listener, BindsIpv4AndIpv6AndKnowsWhoCanReachIt) {
  struct Case {
    const char* endpoint;
    bool loopback;
    const char* shown;  // the address before its port
  };
  const Case cases[] = {
      {"127.0.0.1:0", true, "127.0.0.1:"},
      {"0.0.0.0:0", false, "0.0.0.0:"},
      {"[::1]:0", true, "[::1]:"},
      {"[::]:0", false, "[::]:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.endpoint);
    const Result<Endpoint> endpoint = ParseEndpoint(c.endpoint);
    ASSERT_TRUE(endpoint.ok());
    Result<std::unique_ptr<Listener>> opened = Listener::Open(*endpoint);
    const bool v6 = c.endpoint[0] == '[';
    if (!opened.ok() && v6) {
      std::printf("skipped %s: %s (no IPv6 here)\n", c.endpoint, opened.message().c_str());
      continue;
    }
    ASSERT_TRUE(opened.ok()) << opened.message();
    const std::unique_ptr<Listener> listener = std::move(opened).value();
    EXPECT_NE(listener->port(), 0);
    EXPECT_EQ(listener->Address(), c.shown + std::to_string(listener->port()));
    EXPECT_EQ(listener->loopback(), c.loopback);

    // A client over the loopback of the listener's own family is taken.
    const int fd = socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
    sockaddr_storage address{};
    socklen_t length;
    if (v6) {
      auto& a = reinterpret_cast<sockaddr_in6&>(address);
      a.sin6_family = AF_INET6;
      a.sin6_port = htons(listener->port());
      a.sin6_addr = in6addr_loopback;
      length = sizeof a;
    } else {
      auto& a = reinterpret_cast<sockaddr_in&>(address);
      a.sin_family = AF_INET;
      a.sin_port = htons(listener->port());
      a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      length = sizeof a;
    }
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), length), 0) << std::strerror(errno);
    std::string peer;
    std::unique_ptr<Connection> accepted;
    for (int round = 0; round < 1000 && !accepted; ++round) accepted = listener->Accept(peer);
    ASSERT_TRUE(accepted);
    EXPECT_EQ(peer.substr(0, v6 ? 6 : 10), v6 ? "[::1]:" : "127.0.0.1:");
    close(fd);
  }
  const Result<std::unique_ptr<Listener>> nowhere = Listener::Open(Endpoint{"no-such-host.invalid", 0});
  EXPECT_FALSE(nowhere.ok());
  EXPECT_NE(nowhere.message().find("cannot listen on no-such-host.invalid:0"), std::string::npos)
      << nowhere.message();
}

// The buffers hold what their limits allow and no more: input is read only
// while there is room, output beyond the room is refused whole.
TEST(Connection, BuffersStayWithinTheirLimits) {
  int ends[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
  Connection connection(ends[0], BufferLimits{1000, 3000});
  const int peer = ends[1];
  fcntl(peer, F_SETFL, O_NONBLOCK);

  const std::string sent(5000, 'x');
  ASSERT_EQ(write(peer, sent.data(), sent.size()), 5000);
  EXPECT_TRUE(connection.Receive());
  EXPECT_EQ(connection.input().size(), 1000u);
  EXPECT_TRUE(connection.inputFull());
  connection.Take(600);
  EXPECT_TRUE(connection.Receive());
  EXPECT_EQ(connection.input().size(), 1000u);

  // The peer reads nothing: what the socket does not take waits, up to the limit.
  const std::string reply(2000, 'r');
  std::size_t queued = 0;
  while (connection.Send(reply)) queued += reply.size();
  EXPECT_GE(queued, reply.size());
  EXPECT_LE(connection.outputRoom(), reply.size());
  EXPECT_FALSE(connection.Send(reply));

  // Gone while its input is not read: seen all the same.
  EXPECT_FALSE(connection.PeerGone());
  close(peer);
  EXPECT_TRUE(connection.PeerGone());
}

}  // namespace
}  // namespace pellux::net
