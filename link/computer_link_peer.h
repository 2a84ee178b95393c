// The computer's side of the link protocol at the end of the machine's
// cable: after each pass of the loop it hands the bytes the calculator sent
// to the ComputerLink, puts the link's answer into the machine as far as the
// cable takes it (the rest waits for the next pass), gives it the link time
// and tells it of the calculator's reset pulses. No thread, no clock of its
// own: the machine's loop drives it (Driver::Plug).
#pragma once

#include "link/computer_link.h"
#include "machine/link_port.h"

namespace pellux {

class ComputerLinkPeer : public LinkPeer {
 public:
  explicit ComputerLinkPeer(ComputerLinkTimes times = {}) : link_(times) {}

  void Exchange(Calculator& m) override;

  // Jobs, events and progress, for the host.
  ComputerLink& link() { return link_; }
  const ComputerLink& link() const { return link_; }

 private:
  ComputerLink link_;
  const Calculator* machine_ = nullptr;  // the machine last seen
};

}  // namespace pellux
