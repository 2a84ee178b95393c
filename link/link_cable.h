// A link cable between two machines in the same program, for tests and
// tools: each end is the LinkPeer of one machine's driver.
//
// Each direction of the cable holds a bounded buffer of bytes, the lines
// the sending end holds low and a reset pulse not yet delivered. An end's
// Exchange moves what its machine sent into the buffer towards the other
// end (as far as it has room), puts what the other end sent into its
// machine (as far as LinkRoom allows), and carries the lines and the reset
// pulses across. Nothing depends on real time: two machines driven pass by
// pass on manual clocks trade the same bytes at the same passes every run.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "machine/link_port.h"

namespace pellux {

class LinkCable {
 public:
  static constexpr std::size_t kBufferBytes = 256;  // each way

  LinkCable() = default;
  LinkCable(const LinkCable&) = delete;
  LinkCable& operator=(const LinkCable&) = delete;

  // End 0 or 1.
  LinkPeer& end(std::size_t which) { return ends_[which & 1]; }

  // Bytes on their way from one end to the other (from end 0: towards end 1).
  std::size_t BytesInTransit(std::size_t from) const { return directions_[from & 1].bytes.count; }

 private:
  // One way along the cable.
  struct Direction {
    ByteQueue<kBufferBytes> bytes;
    std::uint8_t lines = 0;    // held low by the sending end (link_line bits)
    bool resetPulsed = false;  // the sending end pulsed both lines low
  };

  class End final : public LinkPeer {
   public:
    End(Direction& out, Direction& in) : out_(out), in_(in) {}
    void Exchange(Calculator& m) override;

   private:
    Direction& out_;
    Direction& in_;
  };

  std::array<Direction, 2> directions_{};
  std::array<End, 2> ends_{End(directions_[0], directions_[1]), End(directions_[1], directions_[0])};
};

}  // namespace pellux
