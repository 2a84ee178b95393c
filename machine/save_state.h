// Saved states: the whole machine as bytes, and back.
//
// A state holds everything that decides what the machine does next: the
// processor's registers, pending interrupts and run state, RAM, the flash
// image and its command state, the ports, timers, keyboard matrix and LCD
// copy, the link port's chip, and the part of a timer tick pending on the
// host clock. It does not hold the debugger's breakpoints or the link cable.
// The layout, and how it may change, is in SAVE_STATE_FORMAT.md: a state of
// any earlier version loads.
#pragma once

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

namespace pellux {

// Which ROM image a machine was built from: a hash of the image's bytes.
struct RomIdentity {
  std::uint64_t hash = 0;
  friend bool operator==(const RomIdentity&, const RomIdentity&) = default;
};

// The identity of the ROM image bytes the machine is built from.
RomIdentity IdentifyRom(std::span<const std::uint8_t> romImage);

// The identity as 16 lower-case hex digits, for file names.
std::string RomIdentityText(const RomIdentity& rom);

// The state of m, built from the ROM image `rom`. The pending part of a tick
// is measured on `clock`, the clock m is paced by. `mode` is the driver's:
// a sleeping processor resumes only on a tick, so it belongs with the state.
std::vector<std::uint8_t> SaveState(const Calculator& m, const RomIdentity& rom, HostClock& clock,
                                    Driver::Mode mode = Driver::Mode::Running);

// The ROM identity a state names in its header, checksum or not; none when
// the bytes are too short to hold one.
std::optional<RomIdentity> StateRomIdentity(std::span<const std::uint8_t> state);

// Sets a state's length and checksum fields to fit its bytes as they stand
// (SaveState's last step; tools that edit states use it too). Bytes too
// short to be a state are left alone.
void SealState(std::span<std::uint8_t> state);

struct LoadedState {
  std::unique_ptr<Calculator> machine;        // a new machine
  Driver::Mode mode = Driver::Mode::Running;  // for Driver(..., mode, Driver::ClockStart::Kept)
  // What the user should know about the machine (a link transfer it was
  // saved in the middle of).
  std::vector<std::string> notes;
};

enum class StateRefusal {
  Unusable,
  // Only a newer Pellux made the state: the file is sound, so keep it as it
  // is.
  NewerVersion,
};

// The machine loaded, or why the load failed, for the user.
using LoadStateResult = Result<LoadedState, KindedError<StateRefusal>>;

// Builds a new machine from a state made from the ROM image `expected`,
// paced by `clock` with the same part of a tick pending as when it was
// saved (drive it with ClockStart::Kept). Anything wrong with the bytes
// gives an error and no machine; so does a state of a newer Pellux, as
// StateRefusal::NewerVersion.
LoadStateResult LoadState(std::span<const std::uint8_t> bytes, const RomIdentity& expected, HostClock& clock);

// The largest file LoadStateFile reads; a state is never near it.
constexpr std::size_t kMostStateFileBytes = 8u << 20;

// Writes the state atomically (the old file stays whole until the new one is
// complete). Answers "PATH: reason" when it fails.
Status SaveStateFile(const std::filesystem::path& path, const Calculator& m, const RomIdentity& rom,
                     HostClock& clock, Driver::Mode mode = Driver::Mode::Running);

// LoadState on a file's bytes; errors read "PATH: reason".
LoadStateResult LoadStateFile(const std::filesystem::path& path, const RomIdentity& expected,
                              HostClock& clock);

}  // namespace pellux
