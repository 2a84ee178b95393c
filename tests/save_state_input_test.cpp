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

#include "machine/save_state.h"
#include "tests/state_edit.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::CalculatorFixture;
using test::kSectionHeaderBytes;
using test::NopRom;
using test::PutLe;
using test::SectionAt;
using test::SetField;
using test::TempFile;
namespace section = test::section;

constexpr RomIdentity kRom{0xFEEDFACECAFEBEEFull};

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

std::string LoadError(std::span<const std::uint8_t> bytes, const RomIdentity& rom = kRom) {
  ManualClock clock;
  const LoadStateResult result = LoadState(bytes, rom, clock);
  if (result.ok()) return "(loaded)";
  EXPECT_TRUE(result.message().size() > 10) << "an error the user can read";
  return result.message();
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

  // A newer Pellux's file is refused as such, whatever follows its version.
  std::vector<std::uint8_t> newer = state;
  newer.at(8) = 3;  // the format version, little-endian
  newer.resize(100);
  ManualClock clock;
  const LoadStateResult newerLoad = LoadState(newer, kRom, clock);
  EXPECT_EQ(newerLoad.message(),
            "the saved state was made by a newer version of Pellux (format version 3; this one reads "
            "versions up to "
            "2)");
  EXPECT_TRUE(FailedWith(newerLoad, StateRefusal::NewerVersion));
  std::vector<std::uint8_t> zero = state;
  zero.at(8) = 0;
  SealState(zero);
  EXPECT_EQ(LoadError(zero), "the saved state has format version 0, which no Pellux writes");
  EXPECT_FALSE(FailedWith(LoadState(zero, kRom, clock), StateRefusal::NewerVersion));

  EXPECT_EQ(LoadError(state, RomIdentity{kRom.hash + 1}), "this state was made from another ROM image");
}

// Edits a checksum cannot catch: states made by hand with a good checksum.
// Each is refused with its own reason.
TEST(SaveStateInput, ForgedSectionsAreRefused) {
  const std::vector<std::uint8_t> state = RealState();
  using section::kChips, section::kFlash, section::kLink, section::kProcessor, section::kRam;
  // Field offsets. Processor: opcode (2), flags (8), registers (64), three
  // addresses (12), run state, mask. Chips: flash state (4), ports (32), key
  // matrix (10), key-down flag, timer reload, tick count, LCD address, wake
  // mask (4 each). Link: time (8), error, txFull, txByte, txUnits (4),
  // txWaited (8), arriving, arrivingByte, arrivingUnits (4), rxFull,
  // peerLines, conditions, the transfer flag.
  constexpr std::size_t kPorts = 4, kKeyDown = 46, kReload = 50, kLcdBase = 58, kWakeMask = 62;
  constexpr std::size_t kTxFull = 9, kTxUnits = 11, kArrivingUnits = 25, kPeerLines = 30, kConditions = 31,
                        kInFlight = 32;
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
       "the saved state has a required section of unknown kind 99"},
      {"a section twice", [&](auto& b) { PutLe(b, SectionAt(b, kFlash), kRam, 2); },
       "the saved state has its RAM section twice"},
      {"unknown encoding", [&](auto& b) { b[SectionAt(b, kRam) + 2] = 7; },
       "the RAM section has an unknown encoding"},
      {"unknown section flags", [&](auto& b) { b[SectionAt(b, kRam) + 3] = 0x80; },
       "the RAM section has unknown flags"},
      {"garbled run-length code", [&](auto& b) { b[SectionAt(b, kRam) + kSectionHeaderBytes] = 0; },
       "the RAM section is garbled"},
      {"too many sections", [&](auto& b) { PutLe(b, 12, 8, 4); },
       "the saved state has the wrong number of sections"},
      {"too few sections", [&](auto& b) { PutLe(b, 12, 6, 4); },
       "the saved state has unexpected bytes after its sections"},
      {"a flag of 2", [&](auto& b) { SetField(b, kProcessor, 2, 2); },
       "the saved state is impossible: a processor flag holds 2"},
      {"interrupt mask 9", [&](auto& b) { SetField(b, kProcessor, 87, 9); },
       "the saved state is impossible: the interrupt mask is 9"},
      {"flash state 9", [&](auto& b) { SetField(b, kChips, 0, 9); },
       "the saved state is impossible: the flash command state is unknown"},
      {"key-down flag with no key down", [&](auto& b) { SetField(b, kChips, kKeyDown, 1); },
       "the saved state is impossible: the keyboard matrix disagrees with its key-down flag"},
      {"timer reload not a byte", [&](auto& b) { SetField(b, kChips, kReload, 0xFFFFFFFF, 4); },
       "the saved state is impossible: the timer reload 0xFFFFFFFF is not a byte"},
      {"LCD address out of reach", [&](auto& b) { SetField(b, kChips, kLcdBase, 0xFFFFFFFF, 4); },
       "the saved state is impossible: the LCD address 0xFFFFFFFF is not a multiple of 8 below 0x80000"},
      {"LCD address not a multiple of 8", [&](auto& b) { SetField(b, kChips, kLcdBase, 0x4C04, 4); },
       "the saved state is impossible: the LCD address 0x00004C04 is not a multiple of 8 below 0x80000"},
      {"wake-up mask without bit 5", [&](auto& b) { SetField(b, kChips, kWakeMask, 0x1F, 4); },
       "the saved state is impossible: the wake-up mask is 0x0000001F"},
      {"port 0x0D not 0x40", [&](auto& b) { SetField(b, kChips, kPorts + 0x0D, 0xFF); },
       "the saved state is impossible: port 0x0D holds 0xFF"},
      {"port 0x01 beyond its bits", [&](auto& b) { SetField(b, kChips, kPorts + 0x01, 0xFF); },
       "the saved state is impossible: port 0x01 holds 0xFF"},
      {"a link flag of 2", [&](auto& b) { SetField(b, kLink, kTxFull, 2); },
       "the saved state is impossible: a link port flag holds 2"},
      {"the transfer flag of 2", [&](auto& b) { SetField(b, kLink, kInFlight, 2); },
       "the saved state is impossible: the link's transfer flag holds 2"},
      {"a third link line", [&](auto& b) { SetField(b, kLink, kPeerLines, 4); },
       "the saved state is impossible: the other end of the link holds lines 0x04"},
      {"a fifth link condition", [&](auto& b) { SetField(b, kLink, kConditions, 0x10); },
       "the saved state is impossible: the link conditions are 0x10"},
      {"a byte sent slower than a byte goes", [&](auto& b) { SetField(b, kLink, kTxUnits, 121, 4); },
       "the saved state is impossible: the link byte being sent has 121 units to go, more than a byte takes"},
      {"a byte received slower than a byte goes",
       [&](auto& b) { SetField(b, kLink, kArrivingUnits, 0xFFFFFFFF, 4); },
       "the saved state is impossible: the link byte being received has 4294967295 units to go, more than a "
       "byte "
       "takes"},
      {"a byte in flight, no transfer", [&](auto& b) { SetField(b, kLink, kTxFull, 1); },
       "the saved state is impossible: a link byte is in flight but the state says no transfer was"},
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
  ASSERT_EQ(SaveStateFile(file.path(), *f.calc, kRom, f.clock).message(), "");
  // Saving again replaces the file whole.
  f.calc->cpu.d(3) = 0xBEEF;
  ASSERT_EQ(SaveStateFile(file.path(), *f.calc, kRom, f.clock).message(), "");
  ManualClock clock;
  const LoadStateResult loaded = LoadStateFile(file.path(), kRom, clock);
  ASSERT_TRUE(loaded.ok()) << loaded.message();
  EXPECT_EQ(loaded->machine->cpu.d(3), 0xBEEFu);
}

TEST(SaveStateFile, FilesThatCannotBeReadOrWritten) {
  CalculatorFixture f(NopRom());
  ManualClock clock;
  const std::filesystem::path folder = std::filesystem::temp_directory_path();
  const std::filesystem::path missing = folder / "pellux-no-such-folder" / "state.pxs";

  EXPECT_EQ(LoadStateFile(folder, kRom, clock).message(), folder.string() + ": is a directory, not a file");
  EXPECT_EQ(LoadStateFile(missing, kRom, clock).message(), missing.string() + ": No such file or directory");
  EXPECT_EQ(SaveStateFile(missing, *f.calc, kRom, f.clock).message().rfind(missing.string() + ": ", 0), 0u);
  EXPECT_NE(SaveStateFile(folder, *f.calc, kRom, f.clock).message(), "");

  const TempFile empty({});
  EXPECT_EQ(LoadStateFile(empty.path(), kRom, clock).message(),
            empty.path().string() + ": the file is empty");

  // A file far larger than any state is refused without being read whole.
  const TempFile huge({});
  std::filesystem::resize_file(huge.path(), 64u << 20);
  EXPECT_EQ(LoadStateFile(huge.path(), kRom, clock).message(),
            huge.path().string() + ": too large to be a saved state");
}

TEST(SaveStateFile, NoPermission) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  CalculatorFixture f(NopRom());
  const TempFile file({});
  ASSERT_EQ(SaveStateFile(file.path(), *f.calc, kRom, f.clock).message(), "");
  std::filesystem::permissions(file.path(), std::filesystem::perms::none);
  ManualClock clock;
  EXPECT_EQ(LoadStateFile(file.path(), kRom, clock).message(), file.path().string() + ": Permission denied");
}

}  // namespace
}  // namespace pellux
