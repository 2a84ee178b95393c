#include "tools/headless_session.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace pellux {

double RunStats::AsleepShare() const {
  const std::int64_t total = runningCounts + idleCounts;
  return total > 0 ? static_cast<double>(idleCounts) / static_cast<double>(total) : 0.0;
}

HeadlessSession::HeadlessSession(const std::filesystem::path& rom, Pacing pacing)
    : clock_(pacing == Pacing::Manual ? static_cast<HostClock*>(&manualClock_) : &steadyClock_),
      pacing_(pacing) {
  startCount_ = clock_->PerfCounter();
  calc_ = std::make_unique<Calculator>(rom, host_, *clock_);
}

std::int64_t HeadlessSession::Now() const {
  const std::int64_t elapsed = clock_->PerfCounter() - startCount_;
  return elapsed / clock_->PerfFrequency() * kTicksPerSecond +
         elapsed % clock_->PerfFrequency() * kTicksPerSecond / clock_->PerfFrequency();
}

void HeadlessSession::ScheduleKeys(std::span<const KeyEvent> events) {
  keys_.erase(keys_.begin(), keys_.begin() + static_cast<std::ptrdiff_t>(nextKey_));
  nextKey_ = 0;
  keys_.insert(keys_.end(), events.begin(), events.end());
  std::stable_sort(keys_.begin(), keys_.end(), [](const KeyEvent& a, const KeyEvent& b) { return a.tick < b.tick; });
}

void HeadlessSession::ApplyDueKeys() {
  const std::int64_t now = Now();
  for (; nextKey_ < keys_.size() && keys_[nextKey_].tick <= now; ++nextKey_) {
    const KeyEvent& key = keys_[nextKey_];
    // As in the window: a non-zero answer makes the loop run the machine next.
    if ((key.down ? calc_->KeyDown(key.code) : calc_->KeyUp(key.code)) != 0) running_ = true;
  }
}

StopReason HeadlessSession::RunUntil(std::int64_t tick) {
  while (Now() < tick) {
    ApplyDueKeys();
    const std::int64_t before = clock_->PerfCounter();
    if (running_) {
      if (pacing_ == Pacing::Manual) manualClock_.AdvanceTicks(1);
      const int result = calc_->RunSlice();
      ++stats_.slices;
      stats_.runningCounts += clock_->PerfCounter() - before;
      if (result == 2) return StopReason::Breakpoint;
      if (result == 1) running_ = false;
    } else {
      if (pacing_ == Pacing::Manual) {
        manualClock_.AdvanceTicks(1);
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
      }
      const int result = calc_->IdleCatchUp();
      ++stats_.idlePasses;
      stats_.idleCounts += clock_->PerfCounter() - before;
      // 0: a burst ran with the processor awake; 2: a burst met a
      // breakpoint, which the next RunSlice reports.
      if (result != 1) running_ = true;
    }
  }
  return StopReason::TimeUp;
}

std::array<std::uint8_t, kLcdFrameBytes> HeadlessSession::Frame() const {
  std::array<std::uint8_t, kLcdFrameBytes> frame;
  calc_->GetLcdFrame(frame.data());
  return frame;
}

}  // namespace pellux
