// Saved states from earlier releases keep loading: files made by each format
// version are kept in tests/data/saved_states/ and loaded here, and the
// machine they hold is checked field by field and then run on.
//
// Each file holds the machine BusyMachine() builds, saved by the Pellux of
// its version. They were written by the disabled test below:
//   build/release/tests/pellux_tests --gtest_also_run_disabled_tests
//       --gtest_filter='StateFixtureRules.DISABLED_WriteBusyMachine'
// which writes busy-vN.state for the format version N it saves. A file is
// never written again once committed: no later Pellux can make an older
// version's file, and the point is that the old bytes keep loading.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "cpu/big_endian.h"
#include "machine/driver.h"
#include "machine/little_endian.h"
#include "machine/ports.h"
#include "machine/save_state.h"
#include "tests/machine_compare.h"
#include "tests/state_edit.h"
#include "tests/test_paths.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

namespace fs = std::filesystem;

const fs::path kFixtureDir = fs::path(test::kTestDataDir) / "saved_states";

// Where the program and its interrupt handlers stand in RAM: the program
// programs the flash, and while the flash reports its status every fetch
// from flash would read all ones.
constexpr std::uint32_t kMain = 0x8000;
constexpr std::uint32_t kHandlers = 0x9000;  // level n at kHandlers + 0x40 n
constexpr std::uint32_t kTrail = 0x10000;    // the main loop's count, one long per wake-up
constexpr std::uint32_t kRowCopy = 0x1F00;   // the keyboard handler's last look at row 1
constexpr unsigned kHeldKey = 12;            // row 1, column 4
constexpr int kPasses = 60;
constexpr int kKeyDownPass = 20;
constexpr std::int64_t kPendingCounts = 600;
constexpr std::uint8_t kReceived = 0x3C;
constexpr std::uint64_t kLinkTime = 0x2A5F0;  // 0.6 of a tick, at the fixture clock's 1000 counts a tick

void StoreWords(Calculator& m, std::uint32_t address, std::initializer_list<std::uint16_t> words) {
  for (const std::uint16_t word : words) {
    m.ram[address++] = static_cast<std::uint8_t>(word >> 8);
    m.ram[address++] = static_cast<std::uint8_t>(word);
  }
}

struct Busy {
  test::CalculatorFixture f{test::RomBuilder()};
  Driver::Mode mode = Driver::Mode::Running;
};

// The machine the fixtures hold, on the image test::RomBuilder() builds
// (zeros but for its vector table). Its
// program (hand-assembled, in RAM) sets the timers going (port 0x15 = 0x09,
// reload 0xF0), moves the LCD (lcdBase 0x5080), protects low RAM (port 0x01
// = 0x04), writes the link control port (0xE0: the byte engine off), erases
// flash block 7 and programs 0xA55A at 0x470100, then loops: one more in D0,
// D0 stored at the trail (A0)+, STOP until an interrupt. Levels 1, 4, 5 and
// 6 count in D6, D3, D7 and D4; level 2 selects key row 1, copies port 0x1B
// to RAM 0x1F00 and counts in D5. It runs 60 passes of the driver, one tick
// each, with key 12 held from pass 20 on, and is saved 0.6 of a tick after
// the last pass. From version 2 on the files also hold the link port's
// chip, set at the end as a transfer leaves it: a byte (0x3C, in port 0x0F)
// received and not yet read.
std::unique_ptr<Busy> BusyMachine() {
  auto busy = std::make_unique<Busy>();
  Calculator& m = *busy->f.calc;
  StoreWords(m, kMain,
             {
                 0x13FC, 0x0009, 0x0060, 0x0015,  // move.b #$09,$600015: ticks run, the timer counts
                 0x13FC, 0x00F0, 0x0060, 0x0017,  // move.b #$F0,$600017: level 5 every 16 ticks
                 0x33FC, 0x0A10, 0x0060, 0x0010,  // move.w #$0A10,$600010: lcdBase 0x5080
                 0x13FC, 0x0004, 0x0060, 0x0001,  // move.b #$04,$600001: low RAM protected
                 0x13FC, 0x00E0, 0x0060, 0x000C,  // move.b #$E0,$60000C: link control
                 0x33FC, 0x5050, 0x0047, 0x0000,  // move.w #$5050,$470000
                 0x33FC, 0x2020, 0x0047, 0x0000,  // move.w #$2020,$470000
                 0x33FC, 0xD0D0, 0x0047, 0x0000,  // move.w #$D0D0,$470000: block 7 erased
                 0x33FC, 0xFFFF, 0x0047, 0x0000,  // move.w #$FFFF,$470000
                 0x33FC, 0x1010, 0x0047, 0x0000,  // move.w #$1010,$470000
                 0x33FC, 0xA55A, 0x0047, 0x0100,  // move.w #$A55A,$470100: programmed
                 0x33FC, 0xFFFF, 0x0047, 0x0000,  // move.w #$FFFF,$470000
                 0x41F9, 0x0001, 0x0000,          // lea $10000,a0
                 0x5280,                          // loop: addq.l #1,d0
                 0x20C0,                          // move.l d0,(a0)+
                 0x4E72, 0x2000,                  // stop #$2000
                 0x60F6,                          // bra.s loop
             });
  StoreWords(m, kHandlers + 0x40 * 1, {0x5286, 0x4E73});  // addq.l #1,d6; rte
  StoreWords(m, kHandlers + 0x40 * 2,
             {0x13FC, 0x00FD, 0x0060, 0x0019,             // move.b #$FD,$600019: row 1
              0x13F9, 0x0060, 0x001B, 0x0000, 0x1F00,     // move.b $60001B,$1F00
              0x5285, 0x4E73});                           // addq.l #1,d5; rte
  StoreWords(m, kHandlers + 0x40 * 4, {0x5283, 0x4E73});  // addq.l #1,d3; rte
  StoreWords(m, kHandlers + 0x40 * 5, {0x5287, 0x4E73});  // addq.l #1,d7; rte
  StoreWords(m, kHandlers + 0x40 * 6, {0x5284, 0x4E73});  // addq.l #1,d4; rte
  StoreWords(m, kHandlers + 0x40 * 7, {0x4E73});          // rte
  for (unsigned level = 1; level <= 7; ++level) {
    const std::uint32_t handler = kHandlers + 0x40 * level;
    StoreWords(m, 4 * (24 + level),
               {static_cast<std::uint16_t>(handler >> 16), static_cast<std::uint16_t>(handler)});
  }
  m.cpu.pc = kMain;

  ManualClock& clock = busy->f.clock;
  clock.passTicks = 1;
  Driver driver(m, clock);
  for (int pass = 0; pass < kPasses; ++pass) {
    if (pass == kKeyDownPass) driver.KeyDown(kHeldKey);
    driver.Pass();
  }
  clock.counter += kPendingCounts;
  busy->mode = driver.mode();
  m.ports[0x0F] = kReceived;
  m.link.rxFull = true;
  m.link.time = kLinkTime;
  m.link.conditions = 0x01;  // the receive buffer full
  m.link.peerLines = link_line::kWhite;
  return busy;
}

RomIdentity BusyRom() { return IdentifyRom(test::RomBuilder().bytes()); }

std::vector<std::uint8_t> ReadFixture(const std::string& name) {
  std::ifstream in(kFixtureDir / name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(StateFixtureRules, DISABLED_WriteBusyMachine) {
  const std::unique_ptr<Busy> busy = BusyMachine();
  const std::vector<std::uint8_t> state = SaveState(*busy->f.calc, BusyRom(), busy->f.clock, busy->mode);
  const std::uint32_t version = static_cast<std::uint32_t>(LoadLe(&state[8], 4));
  const fs::path path = kFixtureDir / ("busy-v" + std::to_string(version) + ".state");
  fs::create_directories(kFixtureDir);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(state.data()), static_cast<std::streamsize>(state.size()));
  ASSERT_TRUE(out.good()) << path;
  std::printf("%s: %zu bytes\n", path.c_str(), state.size());
}

std::uint32_t RamLong(const Calculator& m, std::uint32_t at) { return LoadBe32(&m.ram[at]); }

// The machine of every version's file, as BusyMachine() left it.
void ExpectTheBusyMachine(const Calculator& m, std::uint32_t version) {
  const CpuState& cpu = m.cpu;
  EXPECT_EQ(cpu.pc, kMain + 0x6Eu) << "asleep after the STOP of the main loop";
  EXPECT_EQ(cpu.s, 1);
  EXPECT_EQ(cpu.intMask, 0);
  EXPECT_EQ(cpu.pendingInts, 0);
  EXPECT_EQ(cpu.runState, RunState::Running);
  EXPECT_EQ(cpu.a(7), test::RomBuilder::kDefaultSsp);
  EXPECT_EQ(cpu.instructionCount, 280u);
  EXPECT_EQ(cpu.d(0), 37u) << "wake-ups";
  EXPECT_EQ(cpu.a(0), kTrail + 4 * 37);
  EXPECT_EQ(cpu.d(6), 15u) << "level 1";
  EXPECT_EQ(cpu.d(5), 21u) << "level 2";
  EXPECT_EQ(cpu.d(3), 0u) << "level 4";
  EXPECT_EQ(cpu.d(7), 3u) << "level 5";
  EXPECT_EQ(cpu.d(4), 0u) << "level 6";

  for (std::uint32_t n = 0; n < 40; ++n) EXPECT_EQ(RamLong(m, kTrail + 4 * n), n < 37 ? n + 1 : 0) << n;
  EXPECT_EQ(m.ram[kRowCopy], 0xEF) << "key 12 seen down";
  EXPECT_EQ(RamLong(m, kMain), 0x13FC0009u) << "the program";
  EXPECT_EQ(RamLong(m, 4 * 26), kHandlers + 0x80) << "the level 2 vector";

  std::array<std::uint8_t, kPortCount> ports = kPortStartValues;
  ports[0x01] = 0x04;
  ports[0x0C] = 0xE0;
  ports[0x15] = 0x09;
  ports[0x17] = 0xFC;  // the programmable timer's count
  ports[0x19] = 0xFD;
  ports[0x1B] = 0xEF;
  if (version >= 2) ports[0x0F] = kReceived;
  EXPECT_EQ(m.ports, ports);
  EXPECT_EQ(m.lcdBase, 0x5080u);
  EXPECT_EQ(m.timerReload, 0xF0u);
  EXPECT_EQ(m.tickCount, 60u);
  EXPECT_EQ(m.wakeMask, 0x3Fu);

  EXPECT_EQ(m.flashState, FlashState::CommandReady);
  EXPECT_EQ(LoadBe16(&m.rom[0x70100]), 0xA55Au);
  EXPECT_EQ(std::count(m.rom.begin() + 0x70000, m.rom.begin() + 0x80000, 0xFF), 0x10000 - 2)
      << "block 7 erased";
  EXPECT_EQ(std::count(m.rom.begin() + 0x60000, m.rom.begin() + 0x70000, 0), 0x10000) << "block 6 as it was";

  std::array<std::uint8_t, kKeyRows> keys;
  keys.fill(0xFF);
  keys[1] = 0xEF;
  EXPECT_EQ(m.keyMatrix, keys);
  EXPECT_EQ(m.anyKeyDown, 1u);
  EXPECT_EQ(std::count(m.lastFrame.begin(), m.lastFrame.end(), 0), kLcdFrameBytes) << "a blank LCD shown";

  // Before version 2 the chip is as a fresh machine has it.
  LinkPort link;
  if (version >= 2) {
    link.rxFull = true;
    link.time = kLinkTime;
    link.conditions = 0x01;
    link.peerLines = link_line::kWhite;
  }
  const Calculator withLink = [&] {
    Calculator expected = m;
    expected.link = link;
    return expected;
  }();
  EXPECT_EQ(test::MachineDifference(withLink, m), "") << "the link port";
  EXPECT_FALSE(m.wire.plugged);
}

// The loaded machine keeps time from its pending 0.6 of a tick and runs on:
// each tick wakes it at most once, the key held interrupts on odd ticks, the
// periodic level on every fourth, the timer every 16th.
void ExpectItRunsOn(Calculator& m, ManualClock& clock, Driver::Mode mode) {
  ASSERT_EQ(mode, Driver::Mode::Asleep);
  clock.counter += 399;
  m.IdleCatchUp(clock);
  EXPECT_EQ(m.tickCount, 60u) << "0.999 of a tick";
  clock.counter += 1;
  m.IdleCatchUp(clock);
  ASSERT_EQ(m.tickCount, 61u);
  EXPECT_EQ(m.cpu.d(0), 38u) << "tick 61 woke the loop";
  EXPECT_EQ(m.cpu.d(5), 22u);

  clock.passTicks = 1;
  Driver driver(m, clock, Driver::Mode::Asleep, Driver::ClockStart::Kept);
  for (int pass = 0; pass < 100 && m.tickCount < 80; ++pass) driver.Pass();
  ASSERT_EQ(m.tickCount, 80u);
  EXPECT_EQ(m.cpu.d(6), 15u + 5) << "ticks 64 to 80";
  EXPECT_EQ(m.cpu.d(7), 3u + 2) << "ticks 64 and 80";
  EXPECT_EQ(m.cpu.d(5), 21u + 10) << "odd ticks 61 to 79";
  EXPECT_EQ(m.cpu.d(0), 37u + 15);
  for (std::uint32_t n = 0; n < 53; ++n) EXPECT_EQ(RamLong(m, kTrail + 4 * n), n < 52 ? n + 1 : 0) << n;
  EXPECT_EQ(m.ports[0x17], 0xF0) << "reloaded at tick 80";
}

struct Fixture {
  const char* file;
  std::size_t bytes;
  std::uint32_t version;
  std::vector<std::string> notes;
};

class StateFixtures : public ::testing::TestWithParam<Fixture> {};

TEST_P(StateFixtures, TheFileLoadsAndRunsOn) {
  const Fixture fixture = GetParam();
  const std::vector<std::uint8_t> state = ReadFixture(fixture.file);
  ASSERT_EQ(state.size(), fixture.bytes)
      << "tests/data/saved_states/" << fixture.file << " is missing or changed";
  ManualClock clock;
  clock.counter = 5'000'000;
  LoadStateResult loaded = LoadState(state, BusyRom(), clock);
  ASSERT_TRUE(loaded.ok()) << loaded.message();
  EXPECT_EQ(loaded->notes, fixture.notes);
  ExpectTheBusyMachine(*loaded->machine, fixture.version);
  ExpectItRunsOn(*loaded->machine, clock, loaded->mode);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, StateFixtures,
    ::testing::Values(Fixture{"busy-v1.state", 1126, 1, {}},
                      Fixture{"busy-v2.state",
                              1149,
                              2,
                              {"The state was saved during a link transfer; it resumes with the "
                               "link cable unplugged."}}),
    [](const auto& info) { return "Version" + std::to_string(info.param.version); });

// A version-1 file has no flags (byte 3 of a section header is 0) and no
// link section.
TEST(StateFixtureRules, AVersionOneFileFollowsItsOwnLayout) {
  const std::vector<std::uint8_t> v1 = ReadFixture("busy-v1.state");
  ManualClock clock;
  std::vector<std::uint8_t> flagged = v1;
  flagged[test::SectionAt(flagged, test::section::kFlash) + 3] = 0x01;
  SealState(flagged);
  EXPECT_EQ(LoadState(flagged, BusyRom(), clock).message(), "the flash section's reserved byte is not 0");

  std::vector<std::uint8_t> withLink = v1;
  const std::vector<std::uint8_t> v2 = ReadFixture("busy-v2.state");
  test::AddSection(withLink, test::section::kLink, 0, test::SectionBytes(v2, test::section::kLink));
  SealState(withLink);
  EXPECT_EQ(LoadState(withLink, BusyRom(), clock).message(),
            "the saved state has a link port section, which format version 1 does not have");
}

}  // namespace
}  // namespace pellux
