#include "tools/headless_session.h"

#include <algorithm>
#include <chrono>

#include "link/os_image.h"
#include "machine/rom_file.h"

namespace pellux {

HeadlessSession::HeadlessSession(Calculator machine, Pacing pacing)
    : clock_(pacing == Pacing::Manual ? static_cast<HostClock*>(&manualClock_) : &steadyClock_) {
  // Manual pacing: one tick per run slice and per idle pass.
  manualClock_.passTicks = 1;
  startCount_ = clock_->Counter();
  // The machine's clock is the pacing clock as it is, until the processor
  // is held to the calculator's speed: then each slice waits for its time,
  // on the manual clock by moving it on.
  if (pacing == Pacing::Manual) {
    pacedClock_ = std::make_unique<ManualSpeedClock>(manualClock_);
  } else {
    pacedClock_ = std::make_unique<SpeedClock>(steadyClock_);
  }
  calc_ = std::make_unique<Calculator>(std::move(machine));
  driver_ = std::make_unique<Driver>(*calc_, *pacedClock_);
}

void HeadlessSession::SetCalculatorSpeed(bool on) { pacedClock_->SetCalculatorSpeed(on); }

HeadlessSession::HeadlessSession(std::span<const std::uint8_t> rom, Pacing pacing)
    : HeadlessSession(Calculator(rom), pacing) {}

Result<std::unique_ptr<HeadlessSession>, StartFailure> OpenHeadlessSession(const std::filesystem::path& rom,
                                                                           Pacing pacing) {
  RomRead file = ReadRomFile(rom);
  if (!file.ok()) return file.error();
  const RomRead image = ImageFromRomOrOsFile(rom, std::move(file).value());
  if (!image.ok()) return image.error();
  return std::make_unique<HeadlessSession>(image->bytes, pacing);
}

std::int64_t HeadlessSession::Now() const {
  const std::int64_t elapsed = heldSince_.value_or(clock_->Counter()) - startCount_;
  return elapsed / clock_->CounterFrequency() * kTicksPerSecond +
         elapsed % clock_->CounterFrequency() * kTicksPerSecond / clock_->CounterFrequency();
}

void HeadlessSession::Hold() {
  if (!heldSince_) heldSince_ = clock_->Counter();
}

void HeadlessSession::Release() {
  if (!heldSince_) return;
  const std::int64_t held = clock_->Counter() - *heldSince_;
  heldSince_.reset();
  if (held == 0) return;  // a manual clock stood still too: nothing to take back
  startCount_ += held;
  calc_->StartPacing(driver_->clock());
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
    key.down ? driver_->KeyDown(key.code) : driver_->KeyUp(key.code);
  }
}

StopReason HeadlessSession::Pass() {
  ApplyDueKeys();
  return driver_->Pass();
}

StopReason HeadlessSession::RunUntil(std::int64_t tick) {
  while (Now() < tick) {
    if (const StopReason why = Pass(); IsDebugStop(why)) return why;
  }
  return StopReason::TimeUp;
}

std::array<std::uint8_t, kLcdFrameBytes> HeadlessSession::Frame() const { return calc_->LcdFrame(); }
LcdPicture HeadlessSession::Picture() const { return calc_->Picture(); }

Status HeadlessSession::LoadStateFile(const std::filesystem::path& path, const RomIdentity& rom) {
  LoadStateResult loaded = pellux::LoadStateFile(path, rom, driver_->clock());
  if (!loaded.ok()) return Fail(loaded.message());
  calc_ = std::move(loaded->machine);
  driver_->Attach(*calc_, loaded->mode, Driver::ClockStart::Kept);
  return Ok();
}

Status HeadlessSession::SaveStateFile(const std::filesystem::path& path, const RomIdentity& rom) {
  return pellux::SaveStateFile(path, *calc_, rom, driver_->clock(), driver_->mode());
}

}  // namespace pellux
