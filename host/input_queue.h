// Host key input waiting for the machine, in arrival order.
//
// The window queues every key event it gets while Qt delivers a batch of
// events; the main loop then hands them to the calculator one at a time and
// stops as soon as one asks the machine to run first, leaving the rest for
// after that run. The queue also sorts out keyboard auto-repeat: a press of
// a key already down is a repeat, and under X11 a held key sends a release
// and a press that share one timestamp, which cancel each other here.
#pragma once

#include <bitset>
#include <cstdint>
#include <deque>
#include <optional>

#include "host/host_keys.h"

namespace pellux {

struct HostInput {
  // Press and Release are PC keys; KeyDown and KeyUp calculator keys
  // clicked on the keypad.
  enum class Kind : std::uint8_t { Press, Release, ReleaseAll, KeyDown, KeyUp };
  Kind kind;
  PcKey key = PcKey::None;  // of Press and Release
  unsigned code = 0;        // the calculator key code of KeyDown and KeyUp
};

class InputQueue {
 public:
  // repeat: the toolkit itself marked the event as an auto-repeat.
  void Press(PcKey key, std::uint64_t timestamp, bool repeat);
  void Release(PcKey key, std::uint64_t timestamp, bool repeat);
  // Focus lost or a system key: every key goes up, including those whose
  // releases will never come.
  void ReleaseAll();
  // A calculator key clicked on the keypad, in turn with the PC keys.
  void CalculatorKey(unsigned code, bool down);

  std::optional<HostInput> Next();
  bool Empty() const { return pending_.empty(); }
  void Clear();

 private:
  struct Entry {
    HostInput input;
    std::uint64_t timestamp;
  };
  std::deque<Entry> pending_;
  std::bitset<kPcKeyCount> down_;  // by PC key, as queued
};

}  // namespace pellux
