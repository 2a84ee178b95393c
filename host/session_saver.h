// Writing the session in the background: the main loop hands over a copy of
// the machine (a plain value, copied in well under a millisecond), and a
// worker thread serializes it, writes it beside the old file, syncs it to
// the disk and renames it over the old one, so that the display never waits
// for the disk. One write at a time.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "base/result.h"
#include "machine/calculator.h"
#include "machine/clock.h"
#include "machine/driver.h"
#include "machine/save_state.h"

namespace pellux {

class SessionSaver {
 public:
  // Sessions go into the folder, one file per image (SessionStore's names).
  explicit SessionSaver(std::filesystem::path folder);
  // Finishes the write in flight.
  ~SessionSaver();
  SessionSaver(const SessionSaver&) = delete;
  SessionSaver& operator=(const SessionSaver&) = delete;

  // Copies the machine, with the clock's reading (the part of a tick it has
  // pending), and starts writing the copy. False, with nothing done, while
  // the last write is still in flight.
  bool Begin(const Calculator& machine, const RomIdentity& rom, HostClock& clock, Driver::Mode mode);
  bool busy() const;
  // Returns when no write is in flight.
  void Wait();
  // How the last write ended, once: none when none ended since the last
  // call; else whether it was written, or why not.
  std::optional<Status> TakeResult();

 private:
  void Work();

  const std::filesystem::path folder_;
  // The copy the worker writes; the main thread fills it only while no
  // write is in flight. Made once, so that a save allocates nothing.
  std::unique_ptr<Calculator> copy_;
  RomIdentity rom_;
  Driver::Mode mode_ = Driver::Mode::Running;
  std::int64_t counterFrequency_ = 0;
  std::int64_t counter_ = 0;
  std::uint32_t milliseconds_ = 0;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool busy_ = false;
  bool stop_ = false;
  std::optional<Status> result_;
  std::thread worker_;  // last: starts once the rest is made
};

}  // namespace pellux
