// The debugger's end of a line in tests: a non-blocking socket that writes
// bytes and collects the packets and acknowledgements that come back.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "debugger/gdb_protocol.h"

namespace pellux::test {

// The debugger's end of a line: bytes out, packets and acknowledgements in.
class Client {
 public:
  explicit Client(int fd) : fd_(fd) { fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK); }
  ~Client() { Close(); }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  // Connected to a listener on this machine.
  static std::unique_ptr<Client> To(std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      ADD_FAILURE() << "cannot connect to port " << port;
      return nullptr;
    }
    return std::make_unique<Client>(fd);
  }

  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  // What the socket takes now of the bytes.
  std::size_t Write(std::string_view bytes) {
    const ssize_t n = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
  }
  // Reads what has arrived; false once the other end has closed.
  bool Read() {
    char buffer[65536];
    for (;;) {
      const ssize_t got = recv(fd_, buffer, sizeof buffer, 0);
      if (got == 0) return false;
      if (got < 0) return true;
      std::vector<gdb::PacketEvent> events;
      reader_.Feed(std::string_view(buffer, static_cast<std::size_t>(got)), events);
      for (gdb::PacketEvent& event : events) {
        if (event.kind == gdb::PacketEvent::Kind::Packet) packets.push_back(std::move(event.payload));
        if (event.kind == gdb::PacketEvent::Kind::Ack) acks += '+';
        if (event.kind == gdb::PacketEvent::Kind::Nack) acks += '-';
      }
    }
  }

  std::vector<std::string> packets;
  std::string acks;

 private:
  int fd_;
  gdb::PacketReader reader_;
};

}  // namespace pellux::test
