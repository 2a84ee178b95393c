// Saved states restore the whole machine: a round trip gives back every
// field, and a machine saved and loaded part-way through a run goes on
// exactly as one that was never stopped, wherever the run is cut: inside a
// flash erase, while a key is held, while the processor sleeps, with part
// of a timer tick pending, on a clock at another reading or rate.
#include "machine/save_state.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <set>
#include <vector>

#include "cpu/exceptions.h"
#include "machine/driver.h"
#include "tests/machine_compare.h"
#include "tests/state_edit.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::CalculatorFixture;
using test::MachineDifference;
using test::NopRom;
using test::RomBuilder;

constexpr std::int64_t kCountsPerTick = ManualClock::kDefaultFrequency / 1024;  // at the default rate

// Code runs from RAM: while the flash reports its status after an erase,
// every fetch from flash would read all ones.
constexpr std::uint32_t kMain = 0x8000;
constexpr std::uint32_t RamHandler(unsigned level) { return 0x9000 + 0x40 * level; }

void StoreCode(Calculator& m, std::uint32_t address, const std::vector<std::uint16_t>& words) {
  for (const std::uint16_t word : words) {
    m.ram[address++] = static_cast<std::uint8_t>(word >> 8);
    m.ram[address++] = static_cast<std::uint8_t>(word);
  }
}

// Hand-assembled: a loop that leaves a trail in RAM (over the LCD), erases
// and programs flash block 7 with pauses between the commands, then sleeps
// until an interrupt. Levels 1, 5 and 6 (ON) count in D6, D7 and D4; level 2
// scans key row 0 into RAM 0x2000.
std::vector<std::uint16_t> BusyProgram() {
  const std::vector<std::uint16_t> pause = {0x323C, 1000, 0x5341,
                                            0x66FC};  // move.w #1000,d1; 1: subq.w #1,d1; bne 1b
  std::vector<std::uint16_t> code = {
      0x13FC, 0x0009, 0x0060, 0x0015,  // move.b #9,$600015: ticks run, the timer counts
      0x13FC, 0x00F0, 0x0060, 0x0017,  // move.b #$F0,$600017: level 5 every 16 ticks
      0x41F9, 0x0000, 0x4C00,          // lea $4C00,a0: the LCD
  };
  const std::size_t loop = code.size();
  const auto append = [&](std::initializer_list<std::uint16_t> words) { code.insert(code.end(), words); };
  const auto flashCommand = [&](std::uint16_t command) { append({0x33FC, command, 0x0047, 0x0000}); };
  append({0x5280, 0x20C0});  // addq.l #1,d0; move.l d0,(a0)+
  flashCommand(0x5050);
  code.insert(code.end(), pause.begin(), pause.end());
  flashCommand(0x2020);
  code.insert(code.end(), pause.begin(), pause.end());
  flashCommand(0xD0D0);  // erases 0x470000-0x47FFFF
  code.insert(code.end(), pause.begin(), pause.end());
  flashCommand(0xFFFF);
  flashCommand(0x1010);
  code.insert(code.end(), pause.begin(), pause.end());
  append({0x33C0, 0x0047, 0x0100});  // move.w d0,$470100: programs a word
  code.insert(code.end(), pause.begin(), pause.end());
  flashCommand(0xFFFF);
  append({0x4E72, 0x2000});  // stop #$2000
  const auto back = static_cast<int>(loop) - static_cast<int>(code.size()) - 1;
  append({0x6000, static_cast<std::uint16_t>(2 * back)});  // bra.w loop
  return code;
}

void LoadBusyProgram(Calculator& m) {
  StoreCode(m, kMain, BusyProgram());
  StoreCode(m, RamHandler(1), {0x5286, 0x4E73});  // addq.l #1,d6; rte
  StoreCode(m, RamHandler(2),
            {0x13FC, 0x00FE, 0x0060, 0x0019,  // move.b #$FE,$600019: row 0
             0x1A39, 0x0060, 0x001B,          // move.b $60001B,d5
             0x13C5, 0x0000, 0x2000,          // move.b d5,$2000
             0x4E73});
  StoreCode(m, RamHandler(5), {0x5287, 0x4E73});  // addq.l #1,d7; rte
  StoreCode(m, RamHandler(6), {0x5284, 0x4E73});  // addq.l #1,d4; rte
  StoreCode(m, RamHandler(7), {0x4E73});
  for (unsigned level = 1; level <= 7; ++level) {
    const std::uint32_t handler = RamHandler(level);
    StoreCode(m, 4 * (24 + level),
              {static_cast<std::uint16_t>(handler >> 16), static_cast<std::uint16_t>(handler)});
  }
  m.cpu.pc = kMain;
}

constexpr int kSteps = 110;
constexpr int kKeyDownStep = 30, kKeyUpStep = 47, kOnDownStep = 70, kOnUpStep = 73;

// A clock for the driver: a run slice starts 3/8 of a tick after the last,
// an idle pass waits 3 1/4 ticks. Time is kept as counts at the default rate
// since the run began and shown from a base reading, at the clock's own rate.
class SteppedClock : public ManualClock {
 public:
  SteppedClock(std::int64_t frequency, std::int64_t base, std::int64_t elapsed)
      : ManualClock(frequency), base_(base), elapsed_(elapsed) {
    Show();
  }
  void SliceStarting() override { Move(3 * kCountsPerTick / 8); }
  void WaitIdle() override { Move(13 * kCountsPerTick / 4); }
  std::int64_t elapsed() const { return elapsed_; }

 private:
  void Move(std::int64_t counts) {
    elapsed_ += counts;
    Show();
  }
  void Show() {
    counter = base_ + elapsed_ * frequency / kDefaultFrequency;
    tickMs = static_cast<std::uint32_t>(base_ + elapsed_ * 1000 / kDefaultFrequency);
  }
  std::int64_t base_;
  std::int64_t elapsed_;
};

// The driver's passes with key events at fixed passes.
void RunPasses(Driver& driver, int from, int to) {
  for (int i = from; i < to; ++i) {
    if (i == kKeyDownStep) driver.KeyDown(0);
    if (i == kKeyUpStep) driver.KeyUp(0);
    if (i == kOnDownStep) driver.KeyDown(kOnKeyCode);
    if (i == kOnUpStep) driver.KeyUp(kOnKeyCode);
    driver.Pass();
  }
}

// Time since the charged point, in 1/1024 counts at the default rate.
std::int64_t PendingParts(const Calculator& m, const ManualClock& clock) {
  if (!m.hasCounter)
    return std::int64_t{static_cast<std::int32_t>(clock.tickMs - static_cast<std::uint32_t>(m.lastCount))} *
           1024;
  const std::int64_t parts =
      (clock.counter - static_cast<std::int64_t>(m.lastCount)) * 1024 - m.lastCountFraction;
  return parts * ManualClock::kDefaultFrequency / clock.frequency;
}

struct ClockPair {
  const char* name;
  std::int64_t saverFrequency;  // 0: a millisecond count only
  std::int64_t loaderFrequency;
};

class SaveStateSplits : public ::testing::TestWithParam<ClockPair> {};

TEST_P(SaveStateSplits, SaveAndLoadAnywhereGoesOnAsTheWholeRun) {
  const ClockPair clocks = GetParam();
  const RomBuilder rom;  // code and handlers go to RAM
  const RomIdentity identity = IdentifyRom(rom.bytes());

  Calculator whole(rom.bytes());
  LoadBusyProgram(whole);
  SteppedClock wholeClock(clocks.saverFrequency, 0, 0);
  Driver wholeDriver(whole, wholeClock);
  RunPasses(wholeDriver, 0, kSteps);

  Calculator cut(rom.bytes());
  LoadBusyProgram(cut);
  SteppedClock cutClock(clocks.saverFrequency, 0, 0);
  Driver cutDriver(cut, cutClock);
  std::set<FlashState> flashStatesCut;
  std::set<Driver::Mode> modesCut;
  bool cutWithKeyHeld = false;
  for (int split = 1; split < kSteps; ++split) {
    RunPasses(cutDriver, split - 1, split);
    flashStatesCut.insert(cut.flashState);
    modesCut.insert(cutDriver.mode());
    cutWithKeyHeld |= cut.anyKeyDown != 0;

    const std::vector<std::uint8_t> state = SaveState(cut, identity, cutClock, cutDriver.mode());
    SteppedClock restClock(clocks.loaderFrequency, 7'654'321 + split, cutClock.elapsed());
    LoadStateResult loaded = LoadState(state, identity, restClock);
    ASSERT_TRUE(loaded.ok()) << loaded.message();
    EXPECT_EQ(PendingParts(*loaded->machine, restClock), PendingParts(cut, cutClock))
        << "split at pass " << split;
    Driver rest(*loaded->machine, restClock, loaded->mode, Driver::ClockStart::Kept);
    RunPasses(rest, split, kSteps);
    EXPECT_EQ(MachineDifference(whole, *loaded->machine), "") << "split at pass " << split;
    EXPECT_EQ(PendingParts(*loaded->machine, restClock), PendingParts(whole, wholeClock))
        << "split at pass " << split;
    EXPECT_EQ(rest.mode(), wholeDriver.mode()) << "split at pass " << split;
  }
  // The run was cut at every stage of the flash commands, with a key held
  // and while the processor slept.
  EXPECT_EQ(flashStatesCut, (std::set<FlashState>{FlashState::StatusRead, FlashState::CommandReady,
                                                  FlashState::EraseSetup, FlashState::ProgramSetup}));
  EXPECT_TRUE(cutWithKeyHeld);
  EXPECT_EQ(modesCut.size(), 2u);
  EXPECT_GT(whole.cpu.d(7), 0u) << "the programmable timer interrupted";
  EXPECT_EQ(whole.ram[0x2000], 0xFE) << "level 2 saw key 0 down";
  EXPECT_EQ(whole.cpu.d(4), 1u) << "ON was pressed once";
  EXPECT_EQ(whole.rom[0x70100], static_cast<std::uint8_t>(whole.cpu.d(0) >> 8)) << "flash programmed";
}

INSTANTIATE_TEST_SUITE_P(Clocks, SaveStateSplits,
                         ::testing::Values(ClockPair{"SameRate", ManualClock::kDefaultFrequency,
                                                     ManualClock::kDefaultFrequency},
                                           ClockPair{"DoubleRate", ManualClock::kDefaultFrequency,
                                                     2 * ManualClock::kDefaultFrequency},
                                           ClockPair{"HalfRate", 2 * ManualClock::kDefaultFrequency,
                                                     ManualClock::kDefaultFrequency},
                                           ClockPair{"Milliseconds", 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// Every field set away from its start value comes back, on a clock at
// another reading; the debugger's breakpoints stay with the old machine, and
// so does the link cable.
TEST(SaveState, RoundTripRestoresEveryField) {
  CalculatorFixture f(NopRom());
  Calculator& m = *f.calc;
  for (unsigned r = 0; r < 16; ++r) m.cpu.regs[r] = 0x01020304u * (r + 1);
  m.cpu.opcode = 0x4E71;
  SetCCR(m.cpu, 0x15);  // X, Z and C
  m.cpu.t = m.cpu.traceJustSet = 1;
  m.cpu.s = 0;
  m.cpu.otherSp = 0x3F000;
  m.cpu.pc = 0x421234;
  m.cpu.opPc = 0x421230;
  m.cpu.runState = RunState::AddressFault;
  m.cpu.intMask = 5;
  m.cpu.pendingInts = 0x86;
  m.cpu.instructionCount = 0x123456789ull;
  for (std::uint32_t i = 0; i < kRamSize; i += 97) m.ram[i] = static_cast<std::uint8_t>(i / 97);
  for (std::uint32_t i = 0; i < kRomSize; i += 1031) m.rom[i] = static_cast<std::uint8_t>(i / 1031);
  m.flashState = FlashState::ProgramSetup;
  // Every port a write or the machine changes, away from its start value.
  const std::pair<unsigned, std::uint8_t> ports[] = {{0x00, 0xA4}, {0x01, 0x05}, {0x0C, 0xAB}, {0x0E, 0x02},
                                                     {0x15, 0x9F}, {0x17, 0x33}, {0x18, 0x01}, {0x19, 0xFE},
                                                     {0x1A, 0x14}, {0x1B, 0x7E}};
  for (const auto& [port, value] : ports) m.ports[port] = value;
  m.link = {.time = 0x123456789AB,
            .error = true,
            .txFull = true,
            .txByte = 0x5A,
            .txUnits = 77,
            .txWaited = 0x10000,
            .arriving = true,
            .arrivingByte = 0xC3,
            .arrivingUnits = kLinkByteUnits,
            .rxFull = true,
            .peerLines = link_line::kWhite,
            .conditions = 0x0B};
  m.keyMatrix[3] = 0xEF;
  m.anyKeyDown = 1;
  m.timerReload = 0x7F;
  m.tickCount = 0xFFFFFFF0u;
  m.lcdBase = 0x3F108;
  m.wakeMask = 0x31;
  for (std::size_t i = 0; i < kLcdFrameBytes; ++i) m.lastFrame[i] = static_cast<std::uint8_t>(i * 7);
  m.breakpoints.Toggle(0x421234);
  m.wire.plugged = true;
  m.wire.toCalculator.Push(0x42);
  f.clock.AdvanceTicks(5);
  f.clock.counter += 600;  // 0.6 of a tick pending

  const RomIdentity identity{0x0123456789ABCDEFull};
  const std::vector<std::uint8_t> state = SaveState(m, identity, f.clock, Driver::Mode::Asleep);
  ManualClock later;
  later.counter = 1'000'000'000;
  LoadStateResult loaded = LoadState(state, identity, later);
  ASSERT_TRUE(loaded.ok()) << loaded.message();
  EXPECT_EQ(MachineDifference(m, *loaded->machine), "");
  EXPECT_EQ(loaded->mode, Driver::Mode::Asleep);
  EXPECT_EQ(later.counter - static_cast<std::int64_t>(loaded->machine->lastCount),
            f.clock.counter - static_cast<std::int64_t>(m.lastCount));
  EXPECT_TRUE(loaded->machine->breakpoints.empty());
  EXPECT_FALSE(loaded->machine->wire.plugged);
  EXPECT_TRUE(loaded->machine->wire.toCalculator.empty());
  // Saving the loaded machine gives the same bytes.
  EXPECT_EQ(SaveState(*loaded->machine, identity, later, Driver::Mode::Asleep), state);
}

// The processor section holds the condition flags as five bytes, C V Z N X,
// however an instruction left them; a loaded machine reads them back, and
// saves them again byte for byte.
TEST(SaveState, ConditionFlagsSaveAsOneByteEach) {
  struct Case {
    const char* what;
    std::vector<std::uint16_t> code;  // run from RAM with D0 = 0x80, D1 = 1
    unsigned instructions;
    std::array<std::uint8_t, 5> flags;  // C V Z N X
  };
  const Case cases[] = {
      {"MOVEQ #-5,D0: negative", {0x70FB}, 1, {0, 0, 0, 1, 0}},
      {"MOVEQ #0,D0: zero", {0x7000}, 1, {0, 0, 1, 0, 0}},
      {"ADD.B D0,D0: a zero byte, carry and overflow", {0xD000}, 1, {1, 1, 1, 0, 1}},
      {"CMP.L D0,D1: borrow, X untouched", {0xB280}, 1, {1, 0, 0, 1, 0}},
      {"MOVE #$0C,CCR: N and Z together", {0x44FC, 0x000C}, 1, {0, 0, 1, 1, 0}},
      {"ADDX.B D0,D0 to a zero byte with Z clear", {0x44FC, 0x0000, 0xD100}, 2, {1, 1, 0, 0, 1}},
      {"ADDX.B D0,D0 to a zero byte with Z set", {0x44FC, 0x0004, 0xD100}, 2, {1, 1, 1, 0, 1}},
      {"ADDX.B D1,D0 to a negative byte with Z set", {0x44FC, 0x0004, 0xD101}, 2, {0, 0, 0, 1, 0}},
  };
  constexpr std::size_t kFlagsAt = 2;  // after the opcode
  for (const Case& c : cases) {
    CalculatorFixture f(NopRom());
    Calculator& m = *f.calc;
    StoreCode(m, kMain, c.code);
    m.cpu.pc = kMain;
    m.cpu.d(0) = 0x80;
    m.cpu.d(1) = 1;
    ASSERT_EQ(RunInstructions(m, c.instructions, nullptr), RunResult::Completed) << c.what;

    const RomIdentity identity{};
    const std::vector<std::uint8_t> state = SaveState(m, identity, f.clock);
    const test::StateBytes processor = test::SectionBytes(state, test::section::kProcessor);
    const std::array<std::uint8_t, 5> saved = {processor[kFlagsAt], processor[kFlagsAt + 1],
                                               processor[kFlagsAt + 2], processor[kFlagsAt + 3],
                                               processor[kFlagsAt + 4]};
    EXPECT_EQ(saved, c.flags) << c.what;

    LoadStateResult loaded = LoadState(state, identity, f.clock);
    ASSERT_TRUE(loaded.ok()) << loaded.message();
    EXPECT_EQ(GetSR(loaded->machine->cpu) & 0x1F, GetSR(m.cpu) & 0x1F) << c.what;
    EXPECT_EQ(SaveState(*loaded->machine, identity, f.clock), state) << c.what;
  }
}

// The pending part of a tick decides when the next slice charges one.
TEST(SaveState, ThePendingPartOfATickCarriesOver) {
  CalculatorFixture f(NopRom());
  Calculator& m = *f.calc;
  m.ports[port::kTimerControl] = 0x01;
  f.clock.counter += 7 * kCountsPerTick / 10;
  EXPECT_EQ(m.RunSlice(f.clock), StopReason::None);
  EXPECT_EQ(m.tickCount, 0u);
  const std::vector<std::uint8_t> state = SaveState(m, RomIdentity{}, f.clock);

  ManualClock other(3 * ManualClock::kDefaultFrequency);
  other.counter = 42;
  LoadStateResult loaded = LoadState(state, RomIdentity{}, other);
  ASSERT_TRUE(loaded.ok()) << loaded.message();
  Calculator& resumed = *loaded->machine;
  other.counter += 3 * 2 * kCountsPerTick / 10;  // 0.9 of a tick now
  resumed.RunSlice(other);
  EXPECT_EQ(resumed.tickCount, 0u);
  other.counter += 3 * kCountsPerTick / 10;  // 1.2
  resumed.RunSlice(other);
  EXPECT_EQ(resumed.tickCount, 1u);
}

}  // namespace
}  // namespace pellux
