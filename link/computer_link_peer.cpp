#include "link/computer_link_peer.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <span>

#include "machine/calculator.h"

namespace pellux {

static_assert(kScreenDumpBytes == kLcdFrameBytes, "a screen dump is the LCD's frame");

void ComputerLinkPeer::Exchange(Calculator& m) {
  const std::uint64_t now = LinkTime(m);
  // Another machine at the end of the cable (a fresh boot, a loaded state):
  // whatever was under way with the old one is gone. Time running back on
  // the same machine says the same; the link sees to that itself.
  if (machine_ && machine_ != &m) link_.PeerVanished(now);
  machine_ = &m;

  // A pulse comes before the bytes of the same pass: the calculator's ERR
  // follows its pulse, never the other way round.
  if (TakeLinkReset(m)) link_.PeerReset(now);
  std::array<std::uint8_t, 256> received;
  std::size_t count = 0;
  while (const std::optional<std::uint8_t> byte = LinkTake(m)) {
    received[count++] = *byte;
    if (count == received.size()) {
      link_.Receive(received, now);
      count = 0;
    }
  }
  if (count > 0) link_.Receive(std::span(received).first(count), now);
  link_.Advance(now);

  const std::span<const std::uint8_t> out = link_.Output();
  std::size_t put = 0;
  const std::size_t room = std::min(LinkRoom(m), out.size());
  while (put < room && LinkPut(m, out[put])) ++put;
  link_.OutputTaken(put, now);
}

}  // namespace pellux
