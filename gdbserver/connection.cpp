#include "gdbserver/connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

namespace pellux::gdb {

namespace {

void MakeNonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL, 0);
  if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  fcntl(fd, F_SETFD, FD_CLOEXEC);
}

std::string SystemReason() { return std::strerror(errno); }

}  // namespace

std::optional<Endpoint> ParseEndpoint(std::string_view text, std::string& error) {
  Endpoint endpoint;
  std::string_view port = text;
  if (const std::size_t colon = text.rfind(':'); colon != std::string_view::npos) {
    endpoint.host = std::string(text.substr(0, colon));
    port = text.substr(colon + 1);
    if (endpoint.host.empty()) {
      error = "no host before ':' in '" + std::string(text) + "'";
      return std::nullopt;
    }
  }
  unsigned value = 0;
  const auto [end, problem] = std::from_chars(port.data(), port.data() + port.size(), value);
  if (port.empty() || problem != std::errc() || end != port.data() + port.size() || value > 65535) {
    error = "the port must be a number from 0 to 65535, not '" + std::string(port) + "'";
    return std::nullopt;
  }
  endpoint.port = static_cast<std::uint16_t>(value);
  return endpoint;
}

Connection::Connection(int fd) : fd_(fd) {
  MakeNonBlocking(fd_);
  // Packets are small and answered one by one: send each at once.
  const int on = 1;
  setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

Connection::~Connection() { close(fd_); }

bool Connection::Receive(std::string& into) {
  char buffer[4096];
  for (;;) {
    const ssize_t got = recv(fd_, buffer, sizeof buffer, 0);
    if (got > 0) {
      into.append(buffer, static_cast<std::size_t>(got));
      continue;
    }
    if (got == 0) return false;
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK;
  }
}

bool Connection::Send(std::string_view bytes) {
  pending_.append(bytes);
  while (!pending_.empty()) {
    const ssize_t sent = send(fd_, pending_.data(), pending_.size(), MSG_NOSIGNAL);
    if (sent > 0) {
      pending_.erase(0, static_cast<std::size_t>(sent));
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    return sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  }
  return true;
}

std::unique_ptr<Listener> Listener::Open(const Endpoint& endpoint, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(endpoint.port);
  if (const int status = getaddrinfo(endpoint.host.c_str(), port.c_str(), &hints, &found); status != 0) {
    error = "cannot listen on " + endpoint.host + ":" + port + ": " + gai_strerror(status);
    return nullptr;
  }
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, &freeaddrinfo);
  std::string reason = "no address";
  for (const addrinfo* a = found; a; a = a->ai_next) {
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
    const std::uint16_t boundPort =
        ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                          : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    return std::unique_ptr<Listener>(new Listener(fd, endpoint.host, boundPort));
  }
  error = "cannot listen on " + endpoint.host + ":" + port + ": " + reason;
  return nullptr;
}

Listener::~Listener() { close(fd_); }

std::string Listener::Address() const { return host_ + ":" + std::to_string(port_); }

std::unique_ptr<Connection> Listener::Accept(std::string& peer) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  const int fd = accept(fd_, reinterpret_cast<sockaddr*>(&address), &length);
  if (fd < 0) return nullptr;
  char host[NI_MAXHOST] = "?";
  char port[NI_MAXSERV] = "?";
  getnameinfo(reinterpret_cast<sockaddr*>(&address), length, host, sizeof host, port, sizeof port,
              NI_NUMERICHOST | NI_NUMERICSERV);
  peer = std::string(host) + ":" + port;
  return std::make_unique<Connection>(fd);
}

}  // namespace pellux::gdb
