#include "tests/fuzz/state_fuzz.h"

#include <vector>

#include "machine/driver.h"
#include "machine/save_state.h"
#include "tests/machine_compare.h"

namespace pellux::fuzz {

namespace {

constexpr RomIdentity kUnnamedRom{0x5EED5EED5EED5EEDull};
constexpr int kPasses = 8;

}  // namespace

std::string LoadStateFromBytes(const std::uint8_t* data, std::size_t size) {
  const std::uint8_t options = size > 0 ? data[0] : 0;
  std::vector<std::uint8_t> state(data + (size > 0 ? 1 : 0), data + size);
  if (options & 1) SealState(state);
  const RomIdentity expected = (options & 2) ? StateRomIdentity(state).value_or(kUnnamedRom) : kUnnamedRom;

  ManualClock clock;
  LoadStateResult loaded = LoadState(state, expected, clock);
  if (!loaded.ok()) {
    if (loaded.message().empty()) return "a refused state without a reason";
    if (FailedWith(loaded, StateRefusal::NewerVersion) &&
        loaded.message().find("newer version of Pellux") == std::string::npos) {
      return "a newer version's state refused without saying so: " + loaded.message();
    }
    return "";
  }

  Calculator& m = *loaded->machine;
  const std::vector<std::uint8_t> again = SaveState(m, expected, clock, loaded->mode);
  LoadStateResult reloaded = LoadState(again, expected, clock);
  if (!reloaded.ok()) return "a saved state of a loaded one is refused: " + reloaded.message();
  if (std::string difference = test::MachineDifference(m, *reloaded->machine); !difference.empty()) {
    return "saving and loading again changed " + difference;
  }
  if (reloaded->mode != loaded->mode) return "saving and loading again changed the loop's mode";

  // The loaded machine runs like any other.
  clock.passTicks = 1;
  Driver driver(m, clock, loaded->mode, Driver::ClockStart::Kept);
  for (int i = 0; i < kPasses; ++i) driver.Pass();
  std::uint8_t frame[kLcdFrameBytes];
  m.GetLcdFrame(frame);
  return {};
}

}  // namespace pellux::fuzz
