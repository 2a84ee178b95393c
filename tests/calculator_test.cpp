// Building the machine from a ROM image, and every way that can fail.
#include <gtest/gtest.h>

#include <cstring>

#include "cpu/big_endian.h"
#include "cpu/exceptions.h"
#include "machine/errors.h"
#include "machine/ports.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::CalculatorFixture;
using test::RomBuilder;
using test::TempFile;
using test::TestHost;

std::uint32_t ExpectInitErr(const std::filesystem::path& path, TestHost& host) {
  ManualClock clock;
  try {
    Calculator calc(path, host, clock);
  } catch (const InitErr& error) {
    EXPECT_EQ(error.captionId, kStrInitErrorCaption);
    EXPECT_EQ(error.flags, kMessageBoxError);
    EXPECT_EQ(host.liveResources, 0) << "a failed construction left host resources behind";
    return error.textId;
  }
  ADD_FAILURE() << "no InitErr";
  return 0;
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
  EXPECT_EQ(calc.zoom, 1);
  EXPECT_EQ(calc.anyKeyDown, 0u);
  for (const auto row : calc.keyMatrix) EXPECT_EQ(row, 0xFF);
  EXPECT_EQ(calc.flashState, FlashState::ReadArray);
  EXPECT_TRUE(calc.breakpoints.empty());
  EXPECT_NE(calc.displayBitmap, nullptr);
}

TEST(CalculatorStart, ReadsTheClockItWasGiven) {
  TestHost host;
  TempFile rom(RomBuilder().bytes());
  ManualClock withCounter;
  withCounter.counter = 123456;
  Calculator a(rom.path(), host, withCounter);
  EXPECT_TRUE(a.hasPerfCounter);
  EXPECT_EQ(a.perfFrequency, withCounter.frequency);
  EXPECT_EQ(a.lastCount, 123456u);

  ManualClock millisecondsOnly(0);
  millisecondsOnly.tickMs = 777;
  Calculator b(rom.path(), host, millisecondsOnly);
  EXPECT_FALSE(b.hasPerfCounter);
  EXPECT_EQ(b.lastCount, 777u);
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
    TempFile rom(image);
    TestHost host;
    ManualClock clock;
    Calculator calc(rom.path(), host, clock);
    const std::uint32_t source = c.expectedSource;
    EXPECT_EQ(0, std::memcmp(&calc.ram[0], &image[source], 256)) << c.what;
    EXPECT_EQ(calc.cpu.pc, LoadBe32(&image[source + 4])) << c.what;
  }
}

TEST(CalculatorStart, ShortRomLeavesTheRestOfFlashZero) {
  std::vector<std::uint8_t> image(0x100000, 0x5A);
  TempFile rom(image);
  TestHost host;
  ManualClock clock;
  Calculator calc(rom.path(), host, clock);
  EXPECT_EQ(calc.rom[0xFFFFF], 0x5A);
  for (std::uint32_t i = 0x100000; i < kRomSize; i += 0x1001) ASSERT_EQ(calc.rom[i], 0) << i;
  EXPECT_EQ(calc.rom[kRomSize - 1], 0);
}

TEST(CalculatorStart, OverLongRomReadsOnly2MB) {
  std::vector<std::uint8_t> image(kRomSize + 4096, 0x11);
  image[kRomSize - 1] = 0x22;
  TempFile rom(image);
  TestHost host;
  ManualClock clock;
  Calculator calc(rom.path(), host, clock);
  EXPECT_EQ(calc.rom[kRomSize - 1], 0x22);
}

TEST(CalculatorStart, EmptyRomStartsWithEverythingZero) {
  TempFile rom({});
  TestHost host;
  ManualClock clock;
  Calculator calc(rom.path(), host, clock);
  EXPECT_EQ(calc.cpu.pc, 0u);
  EXPECT_EQ(calc.cpu.a(7), 0u);
}

TEST(CalculatorStartErrors, RomFileThatCannotBeOpened) {
  TestHost host;
  EXPECT_EQ(ExpectInitErr("/nonexistent/ti92p.rom", host), kStrRomOpenFailed);
  EXPECT_EQ(ExpectInitErr(std::filesystem::temp_directory_path(), host), kStrRomOpenFailed);
}

TEST(CalculatorStartErrors, RomFileThatCannotBeRead) {
  // Opens, but every read fails: the process's own memory at address 0.
  if (!std::filesystem::exists("/proc/self/mem")) GTEST_SKIP() << "no /proc on this host";
  TestHost host;
  EXPECT_EQ(ExpectInitErr("/proc/self/mem", host), kStrRomReadFailed);
}

TEST(CalculatorStartErrors, MemoryThatCannotBeHad) {
  TempFile rom(RomBuilder().bytes());
  for (const int granted : {0, 1}) {  // the RAM image, then the flash image
    TestHost host;
    host.allocationsBeforeFailure = granted;
    EXPECT_EQ(ExpectInitErr(rom.path(), host), kStrOutOfMemory) << granted;
  }
}

TEST(CalculatorStartErrors, DisplayBitmapThatCannotBeHad) {
  TempFile rom(RomBuilder().bytes());
  TestHost host;
  host.refuseBitmap = true;
  EXPECT_EQ(ExpectInitErr(rom.path(), host), kStrOutOfResources);
}

TEST(CalculatorStartErrors, MissingFontIsNotAnError) {
  TempFile rom(RomBuilder().bytes());
  TestHost host;
  host.refuseFont = true;
  ManualClock clock;
  Calculator calc(rom.path(), host, clock);
  EXPECT_EQ(calc.listingFont, nullptr);
}

TEST(CalculatorStartErrors, TextsOfTheErrorIds) {
  EXPECT_STREQ(StringText(kStrInitErrorCaption), "Initialization Error");
  EXPECT_STREQ(StringText(kStrRomOpenFailed), "ROM image file could not be opened.");
  EXPECT_STREQ(StringText(kStrRomReadFailed), "ROM image file could not be read.");
  EXPECT_STREQ(StringText(kStrOutOfMemory), "Not enough free memory.");
  EXPECT_STREQ(StringText(kStrOutOfResources), "Not enough free system resources.");
  EXPECT_STREQ(InitErr(kStrRomOpenFailed).what(), "ROM image file could not be opened.");
}

TEST(CalculatorStart, DestructionReleasesHostResources) {
  TempFile rom(RomBuilder().bytes());
  TestHost host;
  ManualClock clock;
  {
    Calculator calc(rom.path(), host, clock);
    EXPECT_EQ(host.liveResources, 2);
  }
  EXPECT_EQ(host.liveResources, 0);
}

}  // namespace
}  // namespace pellux
