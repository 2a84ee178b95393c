#include "machine/driver.h"

namespace pellux {

double DriverStats::AsleepShare() const {
  const std::int64_t total = runningCounts + idleCounts;
  return total > 0 ? static_cast<double>(idleCounts) / static_cast<double>(total) : 0.0;
}

Driver::Driver(Calculator& machine, HostClock& clock, Mode mode, ClockStart start) : clock_(&clock) {
  Attach(machine, mode, start);
}

void Driver::Attach(Calculator& machine, Mode mode, ClockStart start) {
  machine_ = &machine;
  if (start == ClockStart::Now) machine_->StartPacing(*clock_);
  mode_ = mode;
  // A machine restored from a state has no cable but this one.
  PlugLink(*machine_, peer_ != nullptr);
}

void Driver::Plug(LinkPeer* peer) {
  peer_ = peer;
  PlugLink(*machine_, peer != nullptr);
}

StopReason Driver::Pass() {
  const std::int64_t before = clock_->Counter();
  StopReason outcome;
  if (mode_ == Mode::Running) {
    clock_->SliceStarting();
    outcome = machine_->RunSlice(*clock_);
    ++stats_.slices;
    stats_.runningCounts += clock_->Counter() - before;
    if (outcome == StopReason::Asleep) mode_ = Mode::Asleep;
  } else {
    clock_->WaitIdle();
    outcome = machine_->IdleCatchUp(*clock_);
    ++stats_.idlePasses;
    stats_.idleCounts += clock_->Counter() - before;
    // Awake after the last burst, or at a debug stop: run on.
    if (outcome != StopReason::Asleep) mode_ = Mode::Running;
  }
  if (peer_) peer_->Exchange(*machine_);
  return outcome;
}

bool Driver::KeyDown(unsigned code) { return Woken(machine_->KeyDown(code)); }
bool Driver::KeyUp(unsigned code) { return Woken(machine_->KeyUp(code)); }
bool Driver::ReleaseAllKeys() { return Woken(machine_->ReleaseAllKeys()); }

}  // namespace pellux
