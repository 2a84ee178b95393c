#include "tests/fuzz/state_fuzz.h"

#include <span>
#include <vector>

#include "machine/checksums.h"
#include "machine/save_state.h"
#include "tests/machine_compare.h"

namespace pellux::fuzz {

namespace {

// Where the header keeps the total length and the ROM identity.
constexpr std::size_t kLengthAt = 16;
constexpr std::size_t kRomAt = 24;
constexpr std::size_t kHeaderBytes = 32;
constexpr std::size_t kChecksumBytes = 4;
constexpr RomIdentity kUnnamedRom{0x5EED5EED5EED5EEDull};
constexpr int kSlices = 8;

void PutLe(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t value, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint64_t GetLe(const std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t count) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < count; ++i) value |= std::uint64_t{bytes[at + i]} << (8 * i);
  return value;
}

}  // namespace

std::string LoadStateFromBytes(const std::uint8_t* data, std::size_t size) {
  const std::uint8_t options = size > 0 ? data[0] : 0;
  std::vector<std::uint8_t> state(data + (size > 0 ? 1 : 0), data + size);
  const bool longEnough = state.size() >= kHeaderBytes + kChecksumBytes;
  if ((options & 1) && longEnough) {
    PutLe(state, kLengthAt, state.size(), 8);
    const std::size_t body = state.size() - kChecksumBytes;
    PutLe(state, body, Crc32(std::span(state).first(body)), kChecksumBytes);
  }
  const RomIdentity expected = (options & 2) && longEnough ? RomIdentity{GetLe(state, kRomAt, 8)} : kUnnamedRom;

  ManualClock clock;
  LoadStateResult loaded = LoadState(state, expected, clock);
  if (!loaded.ok()) return loaded.error.empty() ? "a refused state without a reason" : "";

  Calculator& m = *loaded.machine;
  const std::vector<std::uint8_t> again = SaveState(m, expected, clock, loaded.mode);
  LoadStateResult reloaded = LoadState(again, expected, clock);
  if (!reloaded.ok()) return "a saved state of a loaded one is refused: " + reloaded.error;
  if (std::string difference = test::MachineDifference(m, *reloaded.machine); !difference.empty()) {
    return "saving and loading again changed " + difference;
  }
  if (reloaded.mode != loaded.mode) return "saving and loading again changed the loop's mode";

  // The loaded machine runs like any other.
  for (int i = 0; i < kSlices; ++i) {
    clock.AdvanceTicks(1);
    if (m.RunSlice() == 1) m.IdleCatchUp();
  }
  std::uint8_t frame[kLcdFrameBytes];
  m.GetLcdFrame(frame);
  return {};
}

}  // namespace pellux::fuzz
