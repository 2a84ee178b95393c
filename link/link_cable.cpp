#include "link/link_cable.h"

namespace pellux {

void LinkCable::End::Exchange(Calculator& m) {
  // This end: a reset pulse cuts off what it had sent before it (the pass
  // does not tell the order, so the bytes of the whole pass go).
  if (TakeLinkReset(m)) {
    while (LinkTake(m)) {
    }
    out_.bytes.Clear();
    out_.resetPulsed = true;
  }
  while (!out_.bytes.full()) {
    const std::optional<std::uint8_t> byte = LinkTake(m);
    if (!byte) break;
    out_.bytes.Push(*byte);
  }
  out_.lines = LinkLinesHeld(m);

  // The other end.
  if (in_.resetPulsed) {
    in_.resetPulsed = false;
    ResetLinkFromPeer(m);
  }
  SetLinkPeerLines(m, in_.lines);
  for (std::size_t room = LinkRoom(m); room > 0 && !in_.bytes.empty(); --room) LinkPut(m, *in_.bytes.Pop());
}

}  // namespace pellux
