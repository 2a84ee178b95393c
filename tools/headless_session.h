// The headless runner's machine: the same Calculator, run slices and idle
// catch-up as the window's main loop, driven by a clock that either moves
// one tick per pass (manual pacing: deterministic, as fast as the host
// allows) or is the host's own (real-time pacing, sleeping 3 ms per idle
// pass like the window).
//
// Manual pacing, precisely: in running mode each pass advances the clock by
// one tick of 1/1024 s and calls RunSlice, so a slice of 1024 instructions
// is charged exactly one tick; in idle mode each pass advances it by one
// tick and calls IdleCatchUp, which then charges that one tick.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"
#include "machine/calculator.h"
#include "machine/clock.h"
#include "machine/driver.h"
#include "machine/errors.h"
#include "machine/save_state.h"
#include "machine/speed_clock.h"
#include "machine/stop_reason.h"
#include "tools/key_script.h"

namespace pellux {

enum class Pacing { Manual, Realtime };

class HeadlessSession {
 public:
  // Boots the ROM image's bytes (OpenHeadlessSession reads a file).
  HeadlessSession(std::span<const std::uint8_t> rom, Pacing pacing);
  // Runs a machine as it stands, such as one restored from a saved state.
  HeadlessSession(Calculator machine, Pacing pacing);

  Calculator& calculator() { return *calc_; }
  const DriverStats& stats() const { return driver_->stats(); }
  HostClock& clock() { return *clock_; }
  Driver& driver() { return *driver_; }
  // Holds the processor to the calculator's instruction rate, or lets it
  // run as fast as the pacing allows (the default).
  void SetCalculatorSpeed(bool on);

  // Emulated time since the session started, in ticks of 1/1024 s: the
  // time the machine was held does not count.
  std::int64_t Now() const;

  // The machine stands still from now until Release (a debugger holds it,
  // or is awaited): under real-time pacing that time is neither emulated
  // time nor the timers', which go on from where they were.
  void Hold();
  void Release();

  // Queues key events; those already due are applied before the next pass.
  void ScheduleKeys(std::span<const KeyEvent> events);

  // One pass of the main loop, the keys that are due applied first.
  StopReason Pass();

  // Runs the main loop until Now() reaches the tick, or a run slice stops
  // at a breakpoint (the PC is then on it).
  StopReason RunUntil(std::int64_t tick);

  std::array<std::uint8_t, kLcdFrameBytes> Frame() const;
  // The frame with the grey the LCD shows, as a window would paint it.
  LcdPicture Picture() const;

  // Replaces the machine with a state saved from the image `rom`: its loop
  // mode and pending part of a tick come back on this session's clock.
  // Answers why the state cannot be loaded (the machine is then untouched).
  Status LoadStateFile(const std::filesystem::path& path, const RomIdentity& rom);
  // Writes the machine's state atomically, or answers the reason.
  Status SaveStateFile(const std::filesystem::path& path, const RomIdentity& rom);

 private:
  void ApplyDueKeys();

  ManualClock manualClock_;
  SteadyClock steadyClock_;
  HostClock* clock_;
  std::unique_ptr<SpeedClock> pacedClock_;  // over clock_: what the machine runs by
  std::int64_t startCount_ = 0;
  std::optional<std::int64_t> heldSince_;  // the clock's count when held
  std::unique_ptr<Calculator> calc_;
  std::unique_ptr<Driver> driver_;
  std::vector<KeyEvent> keys_;  // pending, in time order
  std::size_t nextKey_ = 0;
};

// A session booting the image file, read as the window reads it, or why the
// file gives no image.
Result<std::unique_ptr<HeadlessSession>, StartFailure> OpenHeadlessSession(const std::filesystem::path& rom,
                                                                           Pacing pacing);

}  // namespace pellux
