// Building the machine from a ROM image, and every way that can fail.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "cpu/big_endian.h"
#include "cpu/exceptions.h"
#include "machine/errors.h"
#include "machine/ports.h"
#include "machine/rom_file.h"
#include "tests/test_support.h"
#include "tests/value_or_empty.h"

namespace pellux {
namespace {

using test::CalculatorFixture;
using test::RomBuilder;
using test::TempFile;

// Reads a ROM file that must fail; answers which error it gave.
std::optional<StartError> ExpectStartError(const std::filesystem::path& path, const std::string& reason) {
  const RomRead read = ReadRomFile(path);
  if (read.ok()) {
    ADD_FAILURE() << "no start error for " << path;
    return std::nullopt;
  }
  const ErrMsg error(read.error());
  EXPECT_STREQ(error.caption(), "Initialization Error");
  EXPECT_NE(error.detail.find(path.string() + ": " + reason), std::string::npos) << error.detail;
  EXPECT_NE(error.detail.find("ti92p.rom"), std::string::npos) << "says what to do: " << error.detail;
  return error.kind;
}

TEST(CalculatorStart, StartsFromTheCopiedVectorTable) {
  CalculatorFixture f(RomBuilder(0x12340, 0x456780));
  const Calculator& calc = *f.calc;
  EXPECT_EQ(calc.cpu.a(7), 0x12340u);
  EXPECT_EQ(calc.cpu.pc, 0x456780u);
  EXPECT_EQ(GetSR(calc.cpu), 0x2000u);
  EXPECT_EQ(LoadBe32(&calc.ram[0]), 0x12340u);
  EXPECT_EQ(calc.ports, kPortStartValues);
  EXPECT_EQ(calc.ports[port::kTimerControl], 0x00);
  EXPECT_EQ(calc.ports[port::kOnKey], 0x16);
  EXPECT_EQ(calc.lcdBase, 0x4C00u);
  EXPECT_EQ(calc.timerReload, 0xB2u);
  EXPECT_EQ(calc.wakeMask, 0x3Fu);
  EXPECT_EQ(calc.tickCount, 0u);
  EXPECT_EQ(calc.anyKeyDown, 0u);
  for (const auto row : calc.keyMatrix) EXPECT_EQ(row, 0xFF);
  EXPECT_EQ(calc.flashState, FlashState::ReadArray);
  EXPECT_TRUE(calc.breakpoints.empty());
}

TEST(CalculatorStart, PacingStartsFromTheClockItIsGiven) {
  Calculator calc(RomBuilder().bytes());
  ManualClock withCounter;
  withCounter.counter = 123456;
  calc.StartPacing(withCounter);
  EXPECT_TRUE(calc.hasCounter);
  EXPECT_EQ(calc.counterFrequency, withCounter.frequency);
  EXPECT_EQ(calc.lastCount, 123456u);

  ManualClock millisecondsOnly(0);
  millisecondsOnly.tickMs = 777;
  calc.StartPacing(millisecondsOnly);
  EXPECT_FALSE(calc.hasCounter);
  EXPECT_EQ(calc.lastCount, 777u);
}

TEST(CalculatorStart, AMachineIsAValue) {
  // A copy runs on its own: the same program from the same state gives the
  // same machine, and the original is not touched by the copy's run.
  CalculatorFixture f(test::NopRom());
  f.calc->RunSlice(f.clock);
  Calculator copy = *f.calc;
  const std::uint32_t pcBefore = f.calc->cpu.pc;
  f.clock.AdvanceTicks(1);
  copy.RunSlice(f.clock);
  EXPECT_EQ(f.calc->cpu.pc, pcBefore);
  f.calc->RunSlice(f.clock);
  EXPECT_EQ(f.calc->cpu.pc, copy.cpu.pc);
  EXPECT_EQ(f.calc->ram, copy.ram);
  EXPECT_EQ(f.calc->tickCount, copy.tickCount);
}

// Where the vector table is taken from, by where 0xCC 0xCC 0xCC 0xCC stands.
TEST(CalculatorStart, VectorMarkerSearch) {
  struct Case {
    const char* what;
    std::vector<std::uint32_t> markers;
    std::uint32_t expectedSource;
  };
  const Case cases[] = {
      {"no marker: the start of the image", {}, 0},
      {"before the search range", {0x11FFC}, 0},
      {"first offset tried", {0x12000}, 0x12004},
      {"last offset tried", {0xFFFFC}, 0x100000},
      {"past the range", {0x100000}, 0},
      {"not a multiple of 4", {0x12002}, 0},
      {"the lower of two wins", {0x20000, 0x14000}, 0x14004},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> image(0x100200, 0);
    for (std::uint32_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8));
    for (std::uint32_t i = 0; i < image.size(); ++i) {
      if (image[i] == 0xCC) image[i] = 0xCD;  // no stray markers
    }
    for (const std::uint32_t at : c.markers) {
      for (unsigned i = 0; i < 4; ++i) image[at + i] = 0xCC;
    }
    Calculator calc(image);
    const std::uint32_t source = c.expectedSource;
    EXPECT_EQ(0, std::memcmp(&calc.ram[0], &image[source], 256)) << c.what;
    EXPECT_EQ(calc.cpu.pc, LoadBe32(&image[source + 4])) << c.what;
  }
}

TEST(CalculatorStart, ShortRomLeavesTheRestOfFlashZero) {
  std::vector<std::uint8_t> image(0x100000, 0x5A);
  Calculator calc(image);
  EXPECT_EQ(calc.rom[0xFFFFF], 0x5A);
  for (std::uint32_t i = 0x100000; i < kRomSize; i += 0x1001) ASSERT_EQ(calc.rom[i], 0) << i;
  EXPECT_EQ(calc.rom[kRomSize - 1], 0);
}

TEST(CalculatorStart, OverLongRomFileIsCutTo2MBWithAWarning) {
  std::vector<std::uint8_t> image(kRomSize + 4096, 0x11);
  image[kRomSize - 1] = 0x22;
  TempFile file(image);
  const RomFile rom = test::ValueOrEmpty(ReadRomFile(file.path()));
  ASSERT_EQ(rom.bytes.size(), kRomSize);
  Calculator calc(rom.bytes);
  EXPECT_EQ(calc.rom[kRomSize - 1], 0x22);
  ASSERT_FALSE(rom.warnings.empty());
  EXPECT_EQ(rom.warnings.back(), "only the first 2 MB of a 2.0 MB file are used");
}

TEST(CalculatorStart, OddImagesStartButAreNamed) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    std::string warning;  // empty: none
  };
  const Case cases[] = {
      {"empty", {}, "the image is empty: the machine starts with nothing to run"},
      {"zeros", std::vector<std::uint8_t>(5000, 0), "the image holds only zero bytes: the machine has nothing to run"},
      {"no marker", std::vector<std::uint8_t>(5000, 0x4E),
       "no vector table marker found: the image is probably not a calculator ROM"},
      {"a calculator image", RomBuilder().bytes(), ""},
  };
  for (const Case& c : cases) {
    TempFile file(c.bytes);
    const RomFile rom = test::ValueOrEmpty(ReadRomFile(file.path()));
    EXPECT_EQ(rom.bytes, c.bytes) << c.what;
    if (c.warning.empty()) {
      EXPECT_TRUE(rom.warnings.empty()) << c.what;
    } else {
      EXPECT_EQ(rom.warnings, std::vector<std::string>{c.warning}) << c.what;
    }
    Calculator calc(rom.bytes);  // starts all the same
    if (c.bytes.empty()) {
      EXPECT_EQ(calc.cpu.pc, 0u);
    }
  }
}

TEST(CalculatorStartErrors, RomFileThatCannotBeOpened) {
  EXPECT_EQ(ExpectStartError("/nonexistent/ti92p.rom", "No such file or directory"),
            StartError::RomOpenFailed);
  EXPECT_EQ(ExpectStartError(std::filesystem::temp_directory_path(), "is a directory, not a file"),
            StartError::RomOpenFailed);
}

TEST(CalculatorStartErrors, RomFileThatCannotBeRead) {
  // Opens, but every read fails: the process's own memory at address 0.
  if (!std::filesystem::exists("/proc/self/mem")) GTEST_SKIP() << "no /proc on this host";
  EXPECT_EQ(ExpectStartError("/proc/self/mem", "Input/output error"), StartError::RomReadFailed);
}

TEST(CalculatorStartErrors, TextsOfTheErrorIds) {
  EXPECT_STREQ(ErrMsg(StartError::OutOfMemory).caption(), "Initialization Error");
  EXPECT_STREQ(StartErrorText(StartError::RomOpenFailed), "ROM image file could not be opened.");
  EXPECT_STREQ(StartErrorText(StartError::RomReadFailed), "ROM image file could not be read.");
  EXPECT_STREQ(StartErrorText(StartError::OutOfMemory), "Not enough free memory.");
  EXPECT_STREQ(StartErrorText(StartError::OutOfResources), "Not enough free system resources.");
  EXPECT_STREQ(ErrMsg(StartError::RomOpenFailed).what(), "ROM image file could not be opened.");
}

}  // namespace
}  // namespace pellux
