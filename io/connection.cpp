#include "io/connection.h"

// POSIX sockets. Windows would take Winsock's headers (winsock2.h,
// ws2tcpip.h) and WSAStartup here, and closesocket for close.
#if defined(_WIN32)
#error "pellux::net is written for POSIX sockets; Windows needs a Winsock version of this file"
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <utility>

namespace pellux::net {

namespace {

// Peer closing its end: reported by poll() even while nothing is read.
#ifdef POLLRDHUP
constexpr short kPeerClosed = POLLRDHUP;
#else
constexpr short kPeerClosed = 0;
#endif

void MakeNonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL, 0);
  if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  fcntl(fd, F_SETFD, FD_CLOEXEC);
}

std::string SystemReason() { return std::strerror(errno); }

bool IsLoopback(const sockaddr_storage& address) {
  if (address.ss_family == AF_INET) {
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
    return ntohl(v4.sin_addr.s_addr) >> 24 == 127;
  }
  if (address.ss_family == AF_INET6) {
    const in6_addr& v6 = reinterpret_cast<const sockaddr_in6&>(address).sin6_addr;
    if (IN6_IS_ADDR_LOOPBACK(&v6)) return true;
    return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
  }
  return false;
}

std::uint16_t PortOf(const sockaddr_storage& address) {
  return ntohs(address.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6&>(address).sin6_port
                                             : reinterpret_cast<const sockaddr_in&>(address).sin_port);
}

using AddressList = std::unique_ptr<addrinfo, decltype(&freeaddrinfo)>;

// The endpoint's addresses for a stream socket (`flags` AI_PASSIVE to listen
// on them), or "cannot <doing> HOST:PORT: why" when the host cannot be
// resolved.
Result<AddressList> Resolve(const Endpoint& endpoint, int flags, const char* doing) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = flags | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(endpoint.port);
  const int status = getaddrinfo(endpoint.host.c_str(), port.c_str(), &hints, &found);
  AddressList addresses(status == 0 ? found : nullptr, &freeaddrinfo);
  if (!addresses) {
    return Fail(std::string("cannot ") + doing + " " + FormatAddress(endpoint.host, endpoint.port) + ": " +
                (status != 0 ? gai_strerror(status) : "no address"));
  }
  return addresses;
}

}  // namespace

Result<Endpoint> ParseEndpoint(std::string_view text) {
  Endpoint endpoint;
  std::string_view port = text;
  if (!text.empty() && text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':') {
      return Fail("an address in brackets is followed by ':PORT', as in [::1]:1234, not '" +
                  std::string(text) + "'");
    }
    endpoint.host = std::string(text.substr(1, close - 1));
    port = text.substr(close + 2);
  } else if (const std::size_t colon = text.rfind(':'); colon != std::string_view::npos) {
    endpoint.host = std::string(text.substr(0, colon));
    port = text.substr(colon + 1);
    if (endpoint.host.find(':') != std::string::npos) {
      return Fail("an IPv6 address goes in brackets, as in [::1]:1234, not '" + std::string(text) + "'");
    }
  }
  if (endpoint.host.empty()) return Fail("no host before ':' in '" + std::string(text) + "'");
  unsigned value = 0;
  const auto [end, problem] = std::from_chars(port.data(), port.data() + port.size(), value);
  if (port.empty() || problem != std::errc() || end != port.data() + port.size() || value > 65535) {
    return Fail("the port must be a number from 0 to 65535, not '" + std::string(port) + "'");
  }
  endpoint.port = static_cast<std::uint16_t>(value);
  return endpoint;
}

std::string FormatAddress(std::string_view host, std::uint16_t port) {
  // Appended piece by piece: GCC 12 warns falsely about "[" + std::string.
  const bool v6 = host.find(':') != std::string_view::npos;
  std::string text;
  if (v6) text.push_back('[');
  text.append(host);
  if (v6) text.push_back(']');
  text.push_back(':');
  text.append(std::to_string(port));
  return text;
}

Connection::Connection(int fd, BufferLimits limits) : fd_(fd), limits_(limits) {
  MakeNonBlocking(fd_);
  // Messages are small and answered one by one: send each at once.
  const int on = 1;
  setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

Connection::~Connection() {
  // What the peer sent and nobody read would turn the close into a reset,
  // which can destroy the last bytes sent to it before it reads them.
  shutdown(fd_, SHUT_WR);
  char buffer[4096];
  for (int round = 0; round < 16 && recv(fd_, buffer, sizeof buffer, 0) > 0; ++round) {
  }
  close(fd_);
}

bool Connection::Receive() {
  char buffer[4096];
  while (!failed_ && input_.size() < limits_.input) {
    const std::size_t want = std::min(sizeof buffer, limits_.input - input_.size());
    const ssize_t got = recv(fd_, buffer, want, 0);
    if (got > 0) {
      input_.append(buffer, static_cast<std::size_t>(got));
      continue;
    }
    if (got == 0) return false;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
    failed_ = true;
  }
  return !failed_;
}

void Connection::Take(std::size_t n) { input_.erase(0, std::min(n, input_.size())); }

bool Connection::Send(std::string_view bytes) {
  if (failed_ || bytes.size() > outputRoom()) return false;
  pending_.append(bytes);
  return Flush();
}

bool Connection::Flush() {
  while (!failed_ && !pending_.empty()) {
    const ssize_t sent = send(fd_, pending_.data(), pending_.size(), MSG_NOSIGNAL);
    if (sent > 0) {
      pending_.erase(0, static_cast<std::size_t>(sent));
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    failed_ = true;
  }
  return !failed_;
}

bool Connection::PeerGone() const {
  if (failed_) return true;
  pollfd fds{fd_, kPeerClosed, 0};
  if (poll(&fds, 1, 0) <= 0) return false;
  if (fds.revents & (kPeerClosed | POLLHUP | POLLERR)) return true;
  if constexpr (kPeerClosed == 0) {
    char byte;
    return recv(fd_, &byte, 1, MSG_PEEK) == 0;
  }
  return false;
}

short Connection::PollEvents() const {
  short events = kPeerClosed;
  if (input_.size() < limits_.input) events |= POLLIN;
  if (!pending_.empty()) events |= POLLOUT;
  return events;
}

Result<std::unique_ptr<Listener>> Listener::Open(const Endpoint& endpoint) {
  const Result<AddressList> resolved = Resolve(endpoint, AI_PASSIVE, "listen on");
  if (!resolved.ok()) return resolved.error();
  const AddressList& addresses = *resolved;
  std::string reason = "no address";
  for (const addrinfo* a = addresses.get(); a; a = a->ai_next) {
    const int fd = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (fd < 0) {
      reason = SystemReason();
      continue;
    }
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(fd, a->ai_addr, a->ai_addrlen) != 0 || listen(fd, 4) != 0) {
      reason = SystemReason();
      close(fd);
      continue;
    }
    MakeNonBlocking(fd);
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    return std::unique_ptr<Listener>(new Listener(fd, endpoint.host, PortOf(bound), IsLoopback(bound)));
  }
  return Fail("cannot listen on " + FormatAddress(endpoint.host, endpoint.port) + ": " + reason);
}

Listener::~Listener() { close(fd_); }

std::string Listener::Address() const { return FormatAddress(host_, port_); }

std::unique_ptr<Connection> Listener::Accept(std::string& peer, BufferLimits limits) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  const int fd = accept(fd_, reinterpret_cast<sockaddr*>(&address), &length);
  if (fd < 0) return nullptr;
  char host[NI_MAXHOST] = "?";
  getnameinfo(reinterpret_cast<sockaddr*>(&address), length, host, sizeof host, nullptr, 0, NI_NUMERICHOST);
  peer = FormatAddress(host, PortOf(address));
  return std::make_unique<Connection>(fd, limits);
}

struct Dialer::Target {
  sockaddr_storage address{};
  socklen_t length = 0;
  int family = 0, type = 0, protocol = 0;
};

Result<std::unique_ptr<Dialer>> Dialer::Start(const Endpoint& endpoint) {
  const Result<AddressList> resolved = Resolve(endpoint, 0, "connect to");
  if (!resolved.ok()) return resolved.error();
  const AddressList& addresses = *resolved;
  const std::string where = FormatAddress(endpoint.host, endpoint.port);
  std::vector<Target> targets;
  for (const addrinfo* a = addresses.get(); a; a = a->ai_next) {
    if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
    Target target;
    std::memcpy(&target.address, a->ai_addr, a->ai_addrlen);
    target.length = a->ai_addrlen;
    target.family = a->ai_family;
    target.type = a->ai_socktype;
    target.protocol = a->ai_protocol;
    targets.push_back(target);
  }
  if (targets.empty()) return Fail("cannot connect to " + where + ": no address");
  // Refused at once or later, the failure shows through Finish.
  std::unique_ptr<Dialer> dialer(new Dialer(std::move(targets), where));
  dialer->Next();
  return dialer;
}

Dialer::Dialer(std::vector<Target> targets, std::string address)
    : targets_(std::move(targets)),
      address_(std::move(address)),
      error_("cannot connect to " + address_ + ": no address") {}

Dialer::~Dialer() {
  if (fd_ >= 0) close(fd_);
}

bool Dialer::Next() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  while (next_ < targets_.size()) {
    const Target& target = targets_[next_++];
    const int fd = socket(target.family, target.type, target.protocol);
    if (fd < 0) {
      error_ = "cannot connect to " + address_ + ": " + SystemReason();
      continue;
    }
    MakeNonBlocking(fd);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&target.address), target.length) == 0 ||
        errno == EINPROGRESS || errno == EINTR) {
      fd_ = fd;
      return true;
    }
    error_ = "cannot connect to " + address_ + ": " + SystemReason();
    close(fd);
  }
  return false;
}

std::unique_ptr<Connection> Dialer::Finish(BufferLimits limits) {
  while (fd_ >= 0) {
    pollfd fds{fd_, POLLOUT, 0};
    if (poll(&fds, 1, 0) <= 0) return nullptr;  // still under way
    int problem = 0;
    socklen_t length = sizeof problem;
    if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &problem, &length) != 0) problem = errno;
    if (problem == 0) {
      const int fd = std::exchange(fd_, -1);
      error_.clear();
      return std::make_unique<Connection>(fd, limits);
    }
    error_ = "cannot connect to " + address_ + ": " + std::strerror(problem);
    Next();
  }
  return nullptr;
}

bool WaitForActivity(const Listener* listener, const Dialer* dialer, const Connection* connection,
                     int timeoutMs) {
  pollfd fds[3];
  nfds_t count = 0;
  if (listener) fds[count++] = {listener->fd(), POLLIN, 0};
  if (dialer && dialer->fd() >= 0) fds[count++] = {dialer->fd(), POLLOUT, 0};
  if (connection) fds[count++] = {connection->fd(), connection->PollEvents(), 0};
  if (count == 0) return true;
  return ::poll(fds, count, timeoutMs) >= 0 || errno == EINTR;
}

}  // namespace pellux::net
