// What a debugger watches while the machine runs: data watchpoints and the
// exceptions it wants to see before the program's handler does.
//
// While none is set the run slices take the plain core and pay nothing; with
// one set they take the watching core (watched_core.cpp), which checks every
// data access and every exception, and stops after the instruction that met
// one. Like the breakpoints, this is the debugger's and not saved with the
// machine.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace pellux {

enum class WatchKind : std::uint8_t {
  Write = 1,
  Read = 2,
  Access = 3,  // read or write
};

struct Watchpoint {
  std::uint32_t address;  // masked to the bus's 24 bits when compared
  std::uint32_t length;   // bytes, at least 1
  WatchKind kind;
  bool operator==(const Watchpoint&) const = default;
};

// Why the watching core stopped.
struct WatchStop {
  enum class Cause { Watchpoint, Exception };
  Cause cause;
  Watchpoint watchpoint;  // Watchpoint: the one met
  std::uint32_t address;  // Watchpoint: the byte accessed inside it
  unsigned vector;        // Exception: the vector about to be taken
};

struct DebugWatch {
  std::vector<Watchpoint> watchpoints;
  // Bit n: stop before exception vector n (0..63) is taken.
  std::uint64_t caughtVectors = 0;
  // An exception vector let through once, at the next instruction: the
  // debugger passes on the exception it stopped at.
  std::optional<unsigned> passVector;
  // Set by the watching core when it stops; the run then answers Breakpoint.
  std::optional<WatchStop> stop;

  bool Active() const { return !watchpoints.empty() || caughtVectors != 0; }

  bool Insert(const Watchpoint& point) {
    if (point.length == 0 || std::find(watchpoints.begin(), watchpoints.end(), point) != watchpoints.end()) {
      return false;
    }
    watchpoints.push_back(point);
    return true;
  }

  bool Remove(const Watchpoint& point) {
    const auto it = std::find(watchpoints.begin(), watchpoints.end(), point);
    if (it == watchpoints.end()) return false;
    watchpoints.erase(it);
    return true;
  }
};

}  // namespace pellux
