// Saved states that cannot be loaded: each gives a clear error and no
// machine, never a crash or an allocation the file asked for. Files are read
// and written through the same checks.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "machine/little_endian.h"
#include "machine/run_length.h"
#include "machine/save_state.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::CalculatorFixture;
using test::NopRom;
using test::TempFile;

constexpr RomIdentity kRom{0xFEEDFACECAFEBEEFull};
constexpr std::size_t kFirstSection = 32;  // after the header
constexpr std::size_t kSectionHeader = 12;

// A state of a machine that has run a little.
std::vector<std::uint8_t> RealState() {
  CalculatorFixture f(NopRom());
  f.calc->ports[port::kTimerControl] = 0x01;
  for (int i = 0; i < 20; ++i) {
    f.clock.AdvanceTicks(1);
    f.calc->RunSlice(f.clock);
  }
  return SaveState(*f.calc, kRom, f.clock);
}

std::uint64_t GetLe(const std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t count) {
  return LoadLe(&std::span(bytes).subspan(at, count)[0], count);
}

void PutLe(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t value, std::size_t count) {
  StoreLe(&std::span(bytes).subspan(at, count)[0], value, count);
}

// Where the section of the given id starts (its header).
std::size_t SectionAt(const std::vector<std::uint8_t>& bytes, std::uint16_t id) {
  std::size_t at = kFirstSection;
  while (GetLe(bytes, at, 2) != id) at += kSectionHeader + GetLe(bytes, at + 8, 4);
  return at;
}

// Rewrites a section as stored bytes (whatever its encoding) and sets one
// of them: a field at its offset in the section.
void SetFieldByte(std::vector<std::uint8_t>& bytes, std::uint16_t id, std::size_t offset,
                  std::uint8_t value) {
  const std::size_t at = SectionAt(bytes, id);
  const std::size_t storedLength = GetLe(bytes, at + 8, 4);
  const auto stored = std::span(bytes).subspan(at + kSectionHeader, storedLength);
  std::vector<std::uint8_t> raw(GetLe(bytes, at + 4, 4));
  if (bytes[at + 2] == 1) {
    ASSERT_TRUE(DecodeRunLength(stored, raw));
  } else {
    raw.assign(stored.begin(), stored.end());
  }
  raw.at(offset) = value;
  bytes[at + 2] = 0;
  PutLe(bytes, at + 8, raw.size(), 4);
  const auto from = bytes.begin() + static_cast<std::ptrdiff_t>(at + kSectionHeader);
  bytes.erase(from, from + static_cast<std::ptrdiff_t>(storedLength));
  bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at + kSectionHeader), raw.begin(), raw.end());
}

std::string LoadError(std::span<const std::uint8_t> bytes, const RomIdentity& rom = kRom) {
  ManualClock clock;
  const LoadStateResult result = LoadState(bytes, rom, clock);
  if (result.ok()) return "(loaded)";
  EXPECT_TRUE(result.error.size() > 10) << "an error the user can read";
  return result.error;
}

TEST(SaveStateInput, EveryCutIsRefused) {
  const std::vector<std::uint8_t> state = RealState();
  ASSERT_EQ(LoadError(state), "(loaded)");
  EXPECT_EQ(LoadError({}), "the file is empty");
  for (std::size_t length = 1; length < state.size(); ++length) {
    const std::string error = LoadError(std::span(state).first(length));
    ASSERT_NE(error.find("cut short"), std::string::npos) << length << " bytes: " << error;
  }
  std::vector<std::uint8_t> longer = state;
  longer.push_back(0);
  EXPECT_EQ(LoadError(longer), "the saved state has unexpected bytes after its end");
}

TEST(SaveStateInput, FlippedBitsAreCaught) {
  const std::vector<std::uint8_t> state = RealState();
  std::vector<std::size_t> positions;
  for (std::size_t at = 8; at < state.size(); at += (at < 256 ? 1 : 4001)) positions.push_back(at);
  positions.push_back(state.size() - 1);
  for (const std::size_t at : positions) {
    std::vector<std::uint8_t> flipped = state;
    flipped[at] ^= static_cast<std::uint8_t>(1u << (at % 8));
    const std::string error = LoadError(flipped);
    // The length field names its own trouble; everything else is damage.
    const bool named =
        error.find("damaged") != std::string::npos || error.find("cut short") != std::string::npos ||
        error.find("after its end") != std::string::npos || error.find("format version") != std::string::npos;
    EXPECT_TRUE(named) << "byte " << at << ": " << error;
  }
}

TEST(SaveStateInput, WrongHeadersAreNamed) {
  const std::vector<std::uint8_t> state = RealState();
  std::vector<std::uint8_t> notAState = state;
  notAState[0] = 'Q';
  EXPECT_EQ(LoadError(notAState), "this is not a Pellux saved state");
  EXPECT_EQ(LoadError(std::vector<std::uint8_t>{'G', 'I', 'F'}), "this is not a Pellux saved state");

  std::vector<std::uint8_t> newer = state;
  newer.at(8) = 2;  // the format version, little-endian
  SealState(newer);
  EXPECT_EQ(LoadError(newer),
            "the saved state has format version 2, but this program reads version 1 (it was saved by a newer "
            "Pellux)");

  EXPECT_EQ(LoadError(state, RomIdentity{kRom.hash + 1}), "this state was made from another ROM image");
}

// Edits a checksum cannot catch: states made by hand with a good checksum.
TEST(SaveStateInput, ForgedSectionsAreRefused) {
  const std::vector<std::uint8_t> state = RealState();
  constexpr std::uint16_t kProcessor = 1, kChips = 2, kRam = 3, kFlash = 4;
  struct Forgery {
    const char* what;
    std::function<void(std::vector<std::uint8_t>&)> edit;
    const char* error;
  };
  const Forgery forgeries[] = {
      {"stored length past the end", [&](auto& b) { PutLe(b, SectionAt(b, kFlash) + 8, 0xFFFFFFFF, 4); },
       "the flash section runs past the end of the saved state"},
      {"RAM of 4 GB", [&](auto& b) { PutLe(b, SectionAt(b, kRam) + 4, 0xFFFFFFFF, 4); },
       "the RAM section has the wrong size"},
      {"fields section longer than its fields",
       [&](auto& b) { PutLe(b, SectionAt(b, kChips) + 4, 0x7FFFFFFF, 4); },
       "the ports and timers section has the wrong size"},
      {"unknown section", [&](auto& b) { PutLe(b, SectionAt(b, kRam), 99, 2); },
       "the saved state has a section of unknown kind 99"},
      {"a section twice", [&](auto& b) { PutLe(b, SectionAt(b, kFlash), kRam, 2); },
       "the saved state has its RAM section twice"},
      {"unknown encoding", [&](auto& b) { b[SectionAt(b, kRam) + 2] = 7; },
       "the RAM section has an unknown encoding"},
      {"garbled run-length code", [&](auto& b) { b[SectionAt(b, kRam) + kSectionHeader] = 0; },
       "the RAM section is garbled"},
      {"too many sections", [&](auto& b) { PutLe(b, 12, 7, 4); },
       "the saved state has the wrong number of sections"},
      // Field offsets: the processor's opcode (2), flags (8), registers
      // (64), three addresses (12), then the run state and the mask; the
      // chips' flash state (4), ports (32), key matrix (10), key-down flag.
      {"a flag of 2", [&](auto& b) { SetFieldByte(b, kProcessor, 2, 2); },
       "the saved state is impossible: a processor flag holds 2"},
      {"interrupt mask 9", [&](auto& b) { SetFieldByte(b, kProcessor, 87, 9); },
       "the saved state is impossible: the interrupt mask is 9"},
      {"flash state 9", [&](auto& b) { SetFieldByte(b, kChips, 0, 9); },
       "the saved state is impossible: the flash command state is unknown"},
      {"key-down flag with no key down", [&](auto& b) { SetFieldByte(b, kChips, 46, 1); },
       "the saved state is impossible: the keyboard matrix disagrees with its key-down flag"},
  };
  for (const Forgery& forgery : forgeries) {
    std::vector<std::uint8_t> bytes = state;
    forgery.edit(bytes);
    SealState(bytes);
    EXPECT_EQ(LoadError(bytes), forgery.error) << forgery.what;
  }
}

TEST(SaveStateFile, RoundTripThroughAFile) {
  CalculatorFixture f(NopRom());
  f.calc->cpu.d(3) = 0xC0FFEE;
  const TempFile file({});
  ASSERT_EQ(SaveStateFile(file.path(), *f.calc, kRom, f.clock), "");
  // Saving again replaces the file whole.
  f.calc->cpu.d(3) = 0xBEEF;
  ASSERT_EQ(SaveStateFile(file.path(), *f.calc, kRom, f.clock), "");
  ManualClock clock;
  const LoadStateResult loaded = LoadStateFile(file.path(), kRom, clock);
  ASSERT_TRUE(loaded.ok()) << loaded.error;
  EXPECT_EQ(loaded.machine->cpu.d(3), 0xBEEFu);
}

TEST(SaveStateFile, FilesThatCannotBeReadOrWritten) {
  CalculatorFixture f(NopRom());
  ManualClock clock;
  const std::filesystem::path folder = std::filesystem::temp_directory_path();
  const std::filesystem::path missing = folder / "pellux-no-such-folder" / "state.pxs";

  EXPECT_EQ(LoadStateFile(folder, kRom, clock).error, folder.string() + ": is a directory, not a file");
  EXPECT_EQ(LoadStateFile(missing, kRom, clock).error, missing.string() + ": No such file or directory");
  EXPECT_EQ(SaveStateFile(missing, *f.calc, kRom, f.clock).rfind(missing.string() + ": ", 0), 0u);
  EXPECT_NE(SaveStateFile(folder, *f.calc, kRom, f.clock), "");

  const TempFile empty({});
  EXPECT_EQ(LoadStateFile(empty.path(), kRom, clock).error, empty.path().string() + ": the file is empty");

  // A file far larger than any state is refused without being read whole.
  const TempFile huge({});
  std::filesystem::resize_file(huge.path(), 64u << 20);
  EXPECT_EQ(LoadStateFile(huge.path(), kRom, clock).error,
            huge.path().string() + ": too large to be a saved state");
}

TEST(SaveStateFile, NoPermission) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  CalculatorFixture f(NopRom());
  const TempFile file({});
  ASSERT_EQ(SaveStateFile(file.path(), *f.calc, kRom, f.clock), "");
  std::filesystem::permissions(file.path(), std::filesystem::perms::none);
  ManualClock clock;
  EXPECT_EQ(LoadStateFile(file.path(), kRom, clock).error, file.path().string() + ": Permission denied");
}

}  // namespace
}  // namespace pellux
