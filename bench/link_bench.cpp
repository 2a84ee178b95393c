// pellux-link-bench: how long a variable takes to reach the calculator's OS
// through the link, with the machine at Unlimited speed.
//
//   pellux-link-bench ROM [BYTES]
//       boots ROM (an OS that answers the link protocol, such as PedroM)
//       with the clock moved one tick per pass, as the window's Unlimited
//       speed does, lets it settle for 4 s of calculator time, then sends it
//       an assembly program variable of BYTES bytes (30000 by default)
//       through the computer's side of the link and reports the wall time
//       and the link time the transfer took, from the job's start to the
//       calculator's last acknowledgement.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "link/computer_link_peer.h"
#include "link/var_header.h"
#include "machine/errors.h"
#include "machine/link_port.h"
#include "tools/headless_session.h"

namespace {

using namespace pellux;

constexpr std::int64_t kSettleTicks = 4 * kTicksPerSecond;
constexpr std::int64_t kLimitTicks = 600 * kTicksPerSecond;  // ten minutes of calculator time at the most

// An assembly program that returns at once, padded to `bytes` bytes in all.
Variable Program(std::size_t bytes) {
  Variable program;
  program.folder = "main";
  program.name = "bench";
  program.type = 0x21;
  const std::size_t content = bytes - 2;
  program.data = {static_cast<std::uint8_t>(content >> 8), static_cast<std::uint8_t>(content), 0x4E, 0x75};
  program.data.resize(bytes, 0);
  program.data.back() = 0xF3;  // an assembly program's tag
  return program;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: pellux-link-bench ROM [BYTES]\n");
    return 2;
  }
  const unsigned long bytes = argc == 3 ? std::strtoul(argv[2], nullptr, 10) : 30000;
  if (bytes < 8 || bytes > kMaxVariableData) {
    std::fprintf(stderr, "pellux-link-bench: BYTES must be 8 to %zu\n", kMaxVariableData);
    return 2;
  }
  try {
    auto opened = OpenHeadlessSession(std::filesystem::path(argv[1]), Pacing::Manual);
    if (!opened.ok()) {
      const ErrMsg error(opened.error());
      std::fprintf(stderr, "pellux-link-bench: %s\n%s\n", error.what(), error.detail.c_str());
      return 3;
    }
    HeadlessSession& session = **opened;
    ComputerLinkPeer peer;
    session.driver().Plug(&peer);
    session.RunUntil(kSettleTicks);

    ComputerLink& link = peer.link();
    const std::uint64_t linkStart = LinkTime(session.calculator());
    const auto wallStart = std::chrono::steady_clock::now();
    link.SendVariables({Program(bytes)});
    std::vector<LinkEvent> events;
    while (events.empty() && session.Now() < kSettleTicks + kLimitTicks) {
      session.Pass();
      events = link.TakeEvents();
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    const std::uint64_t units = LinkTime(session.calculator()) - linkStart;
    if (events.empty() || events[0].kind != LinkEventKind::Finished) {
      std::fprintf(stderr, "pellux-link-bench: %s\n",
                   events.empty() ? "no end to the transfer in ten minutes of calculator time" : events[0].message.c_str());
      return 1;
    }
    std::printf("%s\n", events[0].message.c_str());
    std::printf("variable           %lu bytes\n", bytes);
    std::printf("wall time          %.3f s\n", wall);
    std::printf("link time          %llu units, %.3f s of calculator time\n", static_cast<unsigned long long>(units),
                static_cast<double>(units) / kLinkUnitsPerSecond);
    std::printf("throughput         %.0f bytes/s of wall time, %.0f bytes/s of calculator time\n", bytes / wall,
                bytes / (static_cast<double>(units) / kLinkUnitsPerSecond));
    return 0;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "pellux-link-bench: %s\n", StartErrorText(StartError::OutOfMemory));
    return 3;
  }
}
