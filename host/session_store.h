// The calculator's memory across runs of the window: when the window closes
// the machine's state is saved under the user's data folder, one file per
// ROM image (named by the image's hash), and the next start with the same
// image resumes from it, as the real calculator keeps its RAM and flash
// while it is switched off.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "machine/calculator.h"
#include "machine/clock.h"
#include "machine/save_state.h"

namespace pellux {

class SessionStore {
 public:
  explicit SessionStore(std::filesystem::path folder) : folder_(std::move(folder)) {}

  // Where the session of an image is kept.
  std::filesystem::path PathFor(const RomIdentity& rom) const;

  struct Resumed {
    std::unique_ptr<Calculator> machine;  // null: boot the image afresh
    Driver::Mode mode = Driver::Mode::Running;
    std::string message;  // for the user: a session that could not be read, and where it went
    // The saved session is a newer Pellux's: it stays where it is, and this
    // run must not save over it.
    bool newerSessionKept = false;
  };

  // The saved session of the image, if there is one. One that cannot be
  // read is moved aside under a new name (never deleted) and reported; one
  // made by a newer Pellux is left in place and reported.
  Resumed Resume(const RomIdentity& rom, HostClock& clock) const;

  // Saves the session, or answers the reason it failed.
  Status Save(const Calculator& machine, const RomIdentity& rom, HostClock& clock, Driver::Mode mode) const;

 private:
  std::filesystem::path folder_;
};

}  // namespace pellux
