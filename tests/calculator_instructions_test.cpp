// Instructions meeting the calculator's bus: ports, the flash command
// machine and the write protection of low RAM, with the code in flash.
#include <gtest/gtest.h>

#include <cstring>

#include "cpu/core.h"
#include "machine/calculator.h"
#include "machine/ports.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::CalculatorFixture;
using test::RomBuilder;

constexpr std::uint32_t kCode = 0x420000;

TEST(CalculatorInstructions, MoveToTheLcdAddressPorts) {
  CalculatorFixture f(
      RomBuilder().Code(kCode, {
                                   0x33FC, 0x0A00, 0x0060, 0x0010,  // MOVE.W #0x0A00,(0x600010).L
                                   0x13FC, 0x0010, 0x0060, 0x0011,  // MOVE.B #0x10,(0x600011).L
                               }));
  Calculator& calc = *f.calc;
  ASSERT_EQ(RunInstructions(calc, 1, nullptr), RunResult::Completed);
  EXPECT_EQ(calc.lcdBase, 0x5000u);
  ASSERT_EQ(RunInstructions(calc, 1, nullptr), RunResult::Completed);
  EXPECT_EQ(calc.lcdBase, 0x5080u);
}

// Erase a block and program a word with MOVEs. The flash answers reads with
// its status while it is busy, so the erase confirmation and the word that
// leaves the status mode go out as one MOVE.L: the code stays readable.
TEST(CalculatorInstructions, MovesDriveTheFlashCommands) {
  constexpr std::uint32_t kBlock = 0x40000;  // flash offset of the block at 0x440000
  CalculatorFixture f(RomBuilder()
                          .Byte(kBlock, 0x12)
                          .Byte(kBlock + 0xFFFF, 0x34)
                          .Byte(kBlock + 0x10000, 0x56)
                          .Code(kCode, {
                                           0x207C, 0x0044, 0x0000,  // MOVEA.L #0x440000,A0
                                           0x30BC, 0x5050,          // MOVE.W #0x5050,(A0)
                                           0x30BC, 0x2020,          // MOVE.W #0x2020,(A0)
                                           0x20BC, 0xD0D0, 0xFFFF,  // MOVE.L #0xD0D0FFFF,(A0)
                                           0x30BC, 0x1010,          // MOVE.W #0x1010,(A0)
                                           0x317C, 0xA5C3, 0x0002,  // MOVE.W #0xA5C3,2(A0)
                                       }));
  Calculator& calc = *f.calc;
  ASSERT_EQ(RunInstructions(calc, 4, nullptr), RunResult::Completed);
  EXPECT_EQ(calc.rom[kBlock], 0xFF) << "block erased";
  EXPECT_EQ(calc.rom[kBlock + 0xFFFF], 0xFF) << "block erased to its end";
  EXPECT_EQ(calc.rom[kBlock + 0x10000], 0x56) << "the next block is untouched";
  EXPECT_EQ(calc.flashState, FlashState::CommandReady);

  ASSERT_EQ(RunInstructions(calc, 2, nullptr), RunResult::Completed);
  EXPECT_EQ(calc.rom[kBlock + 2], 0xA5);
  EXPECT_EQ(calc.rom[kBlock + 3], 0xC3);
  EXPECT_EQ(calc.flashState, FlashState::StatusRead);
  EXPECT_EQ(calc.cpu.pc, kCode + 30);
}

// A write into the protected first 1 KB of RAM is dropped and ends the run
// after the instruction; the next run goes on from there.
TEST(CalculatorInstructions, MoveIntoProtectedRamEndsTheRun) {
  CalculatorFixture f(RomBuilder().Code(kCode, {
                                                   0x13FC, 0x0004, 0x0060, 0x0001,  // MOVE.B #4,(0x600001).L
                                                   0x31FC, 0xBEEF, 0x0100,  // MOVE.W #0xBEEF,(0x100).W
                                                   0x7005,                  // MOVEQ #5,D0
                                               }));
  Calculator& calc = *f.calc;
  std::uint8_t before[2];
  std::memcpy(before, &calc.ram[0x100], 2);

  EXPECT_EQ(RunInstructions(calc, 10, nullptr), RunResult::ProtectViolation);
  EXPECT_EQ(std::memcmp(before, &calc.ram[0x100], 2), 0) << "the write was dropped";
  EXPECT_EQ(calc.cpu.pc, kCode + 14) << "the run ends after the writing instruction";
  EXPECT_EQ(calc.cpu.runState, RunState::Running);
  EXPECT_EQ(calc.cpu.d(0), 0u);

  EXPECT_EQ(RunInstructions(calc, 1, nullptr), RunResult::Completed);
  EXPECT_EQ(calc.cpu.d(0), 5u);
}

}  // namespace
}  // namespace pellux
