// Small 68000 programs that sleep and wake, take key interrupts and scan
// the matrix, driven by run slices, idle passes and key events on the
// manual clock, as the host loop would drive them.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "cpu/core.h"
#include "cpu/exceptions.h"
#include "machine/memory_bus.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::CalculatorFixture;
using test::LevelHandler;
using test::NopRom;
using test::RomBuilder;
using test::StackedPc;

constexpr std::uint32_t kMain = RomBuilder::kDefaultPc;

// Hand-assembled instructions; (xxx).L operands follow as two words.
constexpr std::uint16_t kRte = 0x4E73;
constexpr std::uint16_t kStop = 0x4E72;             // STOP #imm
constexpr std::uint16_t kMoveByteToAbs = 0x13FC;    // MOVE.B #imm,(xxx).L
constexpr std::uint16_t kMoveWordToAbs = 0x33FC;    // MOVE.W #imm,(xxx).L
constexpr std::uint16_t kMoveByteAbsToD0 = 0x1039;  // MOVE.B (xxx).L,D0
constexpr std::uint16_t kMoveByteD0ToAbs = 0x13C0;  // MOVE.B D0,(xxx).L
constexpr std::uint16_t kBraSelf = 0x60FE;          // BRA.S *
// ADDQ.L #1,Dn
constexpr std::uint16_t AddqOne(unsigned dn) { return static_cast<std::uint16_t>(0x5280 | dn); }
constexpr std::uint16_t BraShort(int bytes) {  // BRA.S to bytes from the BRA itself
  return static_cast<std::uint16_t>(0x6000 | ((bytes - 2) & 0xFF));
}

// A level-n handler that counts itself in Dn and returns.
RomBuilder& Counting(RomBuilder& rom, unsigned level, unsigned dn) {
  return rom.Code(LevelHandler(level), {AddqOne(dn), kRte});
}

// Every idle pass after one tick of host time, as the host's idle loop runs
// them: 0 running, 1 asleep, 2 at a breakpoint.
std::vector<int> IdlePasses(CalculatorFixture& f, int passes) {
  std::vector<int> results;
  for (int i = 0; i < passes; ++i) {
    f.clock.AdvanceTicks(1);
    results.push_back(static_cast<int>(f.calc->IdleCatchUp(f.clock)));
  }
  return results;
}

// STOP #0x2000 with the ticks on: the 4th tick's level 1 wakes it.
RomBuilder StopLoopRom() {
  RomBuilder rom = NopRom();
  rom.Code(kMain, {kMoveByteToAbs, 0x0001, 0x0060, 0x0015,  // ticks on
                   kStop, 0x2000,                           // loop: sleep
                   AddqOne(7),                              // count the wake-up
                   BraShort(-6)});
  return Counting(rom, 1, 6);
}

TEST(Sleep, StopIsWokenByTheFourthTick) {
  CalculatorFixture f(StopLoopRom());
  Calculator& m = *f.calc;
  EXPECT_EQ(m.RunSlice(f.clock), StopReason::Asleep) << "asleep, and no time has passed";
  EXPECT_EQ(m.cpu.pc, kMain + 12);

  EXPECT_EQ(IdlePasses(f, 3), (std::vector<int>{1, 1, 1}));
  EXPECT_EQ(m.cpu.d(6), 0u);
  EXPECT_EQ(m.cpu.d(7), 0u);
  // Tick 4 wakes it; the handler runs, then the loop, then STOP again.
  EXPECT_EQ(IdlePasses(f, 1), std::vector<int>{1});
  EXPECT_EQ(m.cpu.d(6), 1u);
  EXPECT_EQ(m.cpu.d(7), 1u);
  EXPECT_EQ(m.cpu.pc, kMain + 12);

  // A second of host time: the pass charges 40 ticks, ten of them level 1.
  f.clock.AdvanceTicks(1024);
  EXPECT_EQ(m.IdleCatchUp(f.clock), StopReason::Asleep);
  EXPECT_EQ(m.tickCount, 44u);
  EXPECT_EQ(m.cpu.d(6), 11u);
  EXPECT_EQ(m.cpu.d(7), 11u);
}

TEST(Sleep, SlicesReportSleepUntilATickWakes) {
  CalculatorFixture f(StopLoopRom());
  Calculator& m = *f.calc;
  std::vector<int> results;
  for (int slice = 0; slice < 5; ++slice) {
    results.push_back(static_cast<int>(m.RunSlice(f.clock)));
    f.clock.AdvanceTicks(1);
  }
  // Slices 2-4 charge ticks 1-3; slice 5 charges tick 4, whose interrupt is taken at once.
  EXPECT_EQ(results, (std::vector<int>{1, 1, 1, 1, 0}));
  EXPECT_EQ(m.cpu.pc, LevelHandler(1));
  EXPECT_EQ(m.RunSlice(f.clock), StopReason::Asleep) << "the handler ran and the program went back to sleep";
  EXPECT_EQ(m.cpu.d(6), 1u);
}

// Port 0x600005 written 0x10: only the programmable timer may wake the
// processor. A key press still raises level 2, and the ticks still raise
// levels 1 and 2, but none of them runs anything.
TEST(Sleep, LowPowerPortLetsOnlyTheTimerWake) {
  RomBuilder rom = NopRom();
  rom.Code(kMain, {kMoveByteToAbs, 0x0009, 0x0060, 0x0015,  // ticks and the timer on
                   kMoveByteToAbs, 0x00F8, 0x0060, 0x0017,  // the timer wraps on the 8th tick
                   kMoveByteToAbs, 0x0010, 0x0060, 0x0005,  // sleep
                   AddqOne(7), kBraSelf});
  Counting(rom, 1, 6);
  Counting(rom, 2, 5);
  Counting(rom, 5, 4);
  CalculatorFixture f(rom);
  Calculator& m = *f.calc;

  EXPECT_EQ(m.RunSlice(f.clock), StopReason::Asleep);
  EXPECT_EQ(m.KeyDown(13), 0u) << "the keyboard may not wake it";
  EXPECT_EQ(m.cpu.pc, LevelHandler(2)) << "level 2 was taken all the same";

  EXPECT_EQ(IdlePasses(f, 7), (std::vector<int>(7, 1)));
  EXPECT_EQ(m.cpu.pc, LevelHandler(2)) << "nothing ran";
  EXPECT_EQ(m.cpu.pendingInts, (1u << 1) | (1u << 2)) << "ticks 1-7 raised levels 1 and 2";

  EXPECT_EQ(IdlePasses(f, 1), std::vector<int>{0});
  EXPECT_EQ(m.cpu.d(4), 1u) << "level 5";
  EXPECT_EQ(m.cpu.d(5), 2u) << "the press, then the latched odd ticks";
  EXPECT_EQ(m.cpu.d(6), 1u) << "the latched periodic interrupt";
  EXPECT_EQ(m.cpu.d(7), 1u) << "and on past the sleep";
  EXPECT_EQ(m.cpu.intMask, 0);
}

// An interrupt that came while they were masked, just before the low-power
// write, holds its line: the wake mask lets it through and the processor
// does not sleep; one the mask does not name leaves it asleep.
TEST(Sleep, APendingInterruptTheWakeMaskNamesKeepsTheProcessorAwake) {
  for (const std::uint16_t wakeBits : {0x0002, 0x0010}) {  // level 2; level 5 only
    RomBuilder rom = NopRom();
    rom.Code(kMain, {test::asm68k::kMoveToSr, 0x2700,                   // interrupts masked
                     kMoveByteToAbs, wakeBits, 0x0060, 0x0005,  // sleep
                     test::asm68k::kMoveToSr, 0x2000,                   // unmasked: the pending one is taken
                     AddqOne(7), kBraSelf});
    Counting(rom, 2, 6);
    CalculatorFixture f(rom);
    Calculator& m = *f.calc;
    ASSERT_EQ(RunInstructions(m, 1, nullptr), RunResult::Completed);  // the mask at 7
    RequestInterrupt(m, 2);                                           // latched
    const bool named = wakeBits == 0x0002;
    EXPECT_EQ(m.RunSlice(f.clock), named ? StopReason::None : StopReason::Asleep) << wakeBits;
    EXPECT_EQ(m.cpu.d(6), named ? 1u : 0u) << wakeBits;
    EXPECT_EQ(m.cpu.d(7), named ? 1u : 0u) << wakeBits;
  }
}

// A masked waking interrupt still wakes: the burst runs on after the STOP
// without taking it, and the level stays latched.
TEST(Sleep, MaskedWakeUpRunsOnAndKeepsTheLevel) {
  RomBuilder rom = NopRom();
  rom.Code(kMain, {kMoveByteToAbs, 0x0001, 0x0060, 0x0015,  // ticks on
                   kStop, 0x2100,                           // sleep with level 1 masked
                   AddqOne(7), kBraSelf});
  Counting(rom, 1, 6);
  CalculatorFixture f(rom);
  Calculator& m = *f.calc;
  EXPECT_EQ(m.RunSlice(f.clock), StopReason::Asleep);
  EXPECT_EQ(IdlePasses(f, 4), (std::vector<int>{1, 1, 1, 0}));
  EXPECT_EQ(m.cpu.d(7), 1u);
  EXPECT_EQ(m.cpu.d(6), 0u);
  EXPECT_EQ(m.cpu.pendingInts, 1u << 1);
}

// The level-2 handler reads port 0x1B before and after selecting a row.
TEST(Sleep, KeyHandlerScansTheMatrix) {
  RomBuilder rom = NopRom();
  rom.Code(kMain, {kBraSelf});
  // clang-format off
  rom.Code(LevelHandler(2), {kMoveByteAbsToD0, 0x0060, 0x001B,  // columns, no row written yet
                             kMoveByteD0ToAbs, 0x0000, 0x5000,
                             kMoveByteToAbs, 0x00FD, 0x0060, 0x0019,  // select row 1
                             kMoveByteAbsToD0, 0x0060, 0x001B,
                             kMoveByteD0ToAbs, 0x0000, 0x5001,
                             kMoveByteToAbs, 0x00FE, 0x0060, 0x0019,  // select row 0
                             kMoveByteAbsToD0, 0x0060, 0x001B,
                             kMoveByteD0ToAbs, 0x0000, 0x5002,
                             kRte});
  // clang-format on
  CalculatorFixture f(rom);
  Calculator& m = *f.calc;
  ASSERT_EQ(m.KeyDown(13), 1u);  // row 1, column 5
  EXPECT_EQ(m.RunSlice(f.clock), StopReason::None);
  EXPECT_EQ(m.ram[0x5000], 0xFF) << "a press alone does not change port 0x1B";
  EXPECT_EQ(m.ram[0x5001], 0xDF);
  EXPECT_EQ(m.ram[0x5002], 0xFF);
  EXPECT_EQ(m.cpu.pc, kMain);
  EXPECT_EQ(m.cpu.intMask, 0);
}

// The ten level-1 interrupts after a release each run their handler, until
// a breakpoint ends the sequence; a program that sleeps again answers 0.
TEST(Sleep, ReleaseBursts) {
  struct Case {
    const char* what;
    bool sleeps;
    bool breakpoint;
    std::uint32_t result, handled;
  };
  const Case cases[] = {
      {"runs on", false, false, 1, 10},
      {"sleeps again", true, false, 0, 10},
      {"breakpoint on the first RTE", false, true, 1, 1},
  };
  for (const Case& c : cases) {
    RomBuilder rom = NopRom();
    if (c.sleeps) {
      rom.Code(kMain, {kStop, 0x2000, BraShort(-4)});
    } else {
      rom.Code(kMain, {kBraSelf});
    }
    Counting(rom, 1, 6);
    rom.Code(LevelHandler(2), {kRte});
    CalculatorFixture f(rom);
    Calculator& m = *f.calc;
    m.KeyDown(40);
    m.RunSlice(f.clock);
    if (c.breakpoint) m.breakpoints.Toggle(LevelHandler(1) + 2);
    EXPECT_EQ(m.KeyUp(40), c.result) << c.what;
    EXPECT_EQ(m.cpu.d(6), c.handled) << c.what;
    if (c.breakpoint) {
      EXPECT_EQ(m.cpu.pc, LevelHandler(1) + 2);
    }
  }
}

// A write into protected low RAM ends the run after the writing
// instruction and enters level 7, for a slice and for a burst alike.
TEST(Sleep, ProtectedWriteBecomesLevel7) {
  for (const bool burst : {false, true}) {
    RomBuilder rom = NopRom();
    rom.Code(kMain, {kMoveByteToAbs, 0x0004, 0x0060, 0x0001,  // protect RAM below 0x400
                     kMoveWordToAbs, 0x1234, 0x0000, 0x0100,  // dropped
                     kBraSelf});
    CalculatorFixture f(rom);
    Calculator& m = *f.calc;
    EXPECT_EQ(burst ? m.RunBurst() : m.RunSlice(f.clock), StopReason::None);
    EXPECT_EQ(m.cpu.pc, LevelHandler(7));
    EXPECT_EQ(m.cpu.intMask, 7);
    EXPECT_EQ(StackedPc(m), kMain + 16) << "the run ended after the write";
    EXPECT_EQ(m.ram[0x100], 0);
    EXPECT_EQ(m.ram[0x101], 0);
  }
}

}  // namespace
}  // namespace pellux
