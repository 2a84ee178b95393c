// A hostile client of the gdb stub, for bench/gdb_flood.sh: it lets the
// calculator run ('c'), then for a number of seconds either sends memory
// reads of 8 KB each and never reads a reply, or one packet that never ends.
// It prints how many bytes the socket took from it. "quiet" lets it run and
// sends nothing more for the seconds, as a debugger waiting for a stop does.
// "look" attaches as a debugger does and prints a 4-byte counter in the
// calculator's memory.
//
//   pellux-gdb-flood PORT noread|endless|quiet SECONDS
//   pellux-gdb-flood PORT look ADDRESS
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "debugger/gdb_protocol.h"

namespace {

int Connect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    std::perror("pellux-gdb-flood: connect");
    std::exit(1);
  }
  return fd;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

// The next packet's payload from the line (blocking, 10 s at most).
std::string Reply(int fd) {
  pellux::gdb::PacketReader reader;
  std::vector<pellux::gdb::PacketEvent> events;
  char buffer[4096];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 10000) <= 0) return "(no reply)";
    const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) return "(closed)";
    reader.Feed(std::string_view(buffer, static_cast<std::size_t>(got)), events);
    for (const auto& event : events) {
      if (event.kind == pellux::gdb::PacketEvent::Kind::Packet) return event.payload;
    }
  }
}

std::string Ask(int fd, std::string_view packet) {
  WriteAll(fd, pellux::gdb::FramePacket(packet));
  return Reply(fd);
}

int Flood(int port, std::string_view mode, double seconds) {
  const int fd = Connect(port);
  if (Ask(fd, "QStartNoAckMode") != "OK") {
    std::fprintf(stderr, "pellux-gdb-flood: no answer to QStartNoAckMode\n");
    return 1;
  }
  WriteAll(fd, pellux::gdb::FramePacket("c"));
  const auto start = std::chrono::steady_clock::now();
  const auto end = start + std::chrono::duration<double>(seconds);
  if (mode == "quiet") {
    char buffer[4096];
    while (std::chrono::steady_clock::now() < end) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 100) > 0 && recv(fd, buffer, sizeof buffer, 0) <= 0) break;
    }
    close(fd);
    return 0;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  std::string chunk;
  if (mode == "noread") {
    const std::string request = pellux::gdb::FramePacket("m0,2000");
    while (chunk.size() < 65536) chunk += request;
  } else {
    WriteAll(fd, "$");
    chunk.assign(65536, 'C');
  }
  std::uint64_t sent = 0;
  std::size_t offset = 0;  // into the chunk, so that the requests stay whole
  while (std::chrono::steady_clock::now() < end) {
    pollfd p{fd, POLLOUT, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    if (p.revents & (POLLERR | POLLHUP)) {
      std::fprintf(stderr, "pellux-gdb-flood: the line was closed\n");
      break;
    }
    const ssize_t n = send(fd, chunk.data() + offset, chunk.size() - offset, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<std::uint64_t>(n);
      offset = (offset + static_cast<std::size_t>(n)) % chunk.size();
    }
  }
  std::printf("%s: the socket took %llu bytes in %.0f s\n", std::string(mode).c_str(),
              static_cast<unsigned long long>(sent), seconds);
  close(fd);
  return 0;
}

int Look(int port, const char* address) {
  const int fd = Connect(port);
  const std::string bytes = Ask(fd, std::string("m") + address + ",4");
  std::printf(
      "counter at %s: %s\n", address,
      bytes.size() == 8 ? std::to_string(std::strtoul(bytes.c_str(), nullptr, 16)).c_str() : bytes.c_str());
  Ask(fd, "D");
  close(fd);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string_view(argv[2]) == "look") return Look(std::atoi(argv[1]), argv[3]);
  const std::string_view mode = argc == 4 ? argv[2] : "";
  if (mode == "noread" || mode == "endless" || mode == "quiet") {
    return Flood(std::atoi(argv[1]), argv[2], std::atof(argv[3]));
  }
  std::fprintf(stderr,
               "usage: pellux-gdb-flood PORT noread|endless|quiet SECONDS\n"
               "       pellux-gdb-flood PORT look ADDRESS\n");
  return 2;
}
