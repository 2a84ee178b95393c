// The main loop of every program that runs the calculator: the window, the
// headless runner, the benchmark and the fuzzer.
//
// Running: run slices back to back. Asleep: the processor sleeps; each pass
// waits on the clock (a real clock sleeps 3 ms, a manual one moves on) and
// charges the time that passed in one catch-up. A key that asks the machine
// to run wakes the loop before the host's next event. Whatever is plugged
// into the link port trades bytes with the machine after each pass.
#pragma once

#include <cstdint>

#include "machine/calculator.h"
#include "machine/clock.h"

namespace pellux {

struct DriverStats {
  std::uint64_t slices = 0;        // RunSlice calls
  std::uint64_t idlePasses = 0;    // IdleCatchUp calls
  std::int64_t runningCounts = 0;  // clock counts spent in running mode
  std::int64_t idleCounts = 0;     // and in idle mode, the processor asleep
  double AsleepShare() const;
};

class Driver {
 public:
  // What runs next: the processor's instructions, or (Asleep) nothing but
  // time until an interrupt wakes it. A machine held by a debugger keeps its
  // mode; what the debugger lets run is gdb::Resume.
  enum class Mode { Running, Asleep };
  // Where time is charged from: the clock's present reading, or the point
  // the machine already holds (one restored from a saved state on this
  // clock keeps the part of a tick it had pending).
  enum class ClockStart { Now, Kept };

  // Drives the machine on the clock, starting in the given mode (a restored
  // machine may be asleep).
  Driver(Calculator& machine, HostClock& clock, Mode mode = Mode::Running, ClockStart start = ClockStart::Now);

  // One pass of the loop, and why it stopped. After a debug stop (a
  // breakpoint: the PC stands on one, before the instruction there has run;
  // a watchpoint; a caught exception) the loop runs again when next asked.
  StopReason Pass();

  // Another machine from now on: a restored state, a fresh boot. What is
  // plugged into the link port stays plugged, into the new machine (and a
  // machine comes to a driver without a peer unplugged).
  void Attach(Calculator& machine, Mode mode = Mode::Running, ClockStart start = ClockStart::Now);

  // The other end of the link cable, or none (null unplugs). The peer must
  // outlive its time in the port.
  void Plug(LinkPeer* peer);
  LinkPeer* peer() const { return peer_; }

  // The keyboard, through the machine: a key that asks to run wakes the loop.
  bool KeyDown(unsigned code);
  bool KeyUp(unsigned code);
  bool ReleaseAllKeys();
  void Wake() { mode_ = Mode::Running; }
  // The processor went to sleep outside a pass (a debugger's step).
  void Sleep() { mode_ = Mode::Asleep; }

  Calculator& machine() const { return *machine_; }
  HostClock& clock() const { return *clock_; }
  Mode mode() const { return mode_; }
  const DriverStats& stats() const { return stats_; }

 private:
  bool Woken(bool run) {
    if (run) Wake();
    return run;
  }

  Calculator* machine_;
  HostClock* clock_;
  LinkPeer* peer_ = nullptr;
  Mode mode_ = Mode::Running;
  DriverStats stats_;
};

}  // namespace pellux
