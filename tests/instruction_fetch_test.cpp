// The calculator's instruction stream: what the processor fetches at the
// edges of RAM and flash, when the flash stops reading its contents under
// the running code, after a debugger patches the code, and in a copy of a
// running machine.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <span>

#include "cpu/big_endian.h"
#include "cpu/core.h"
#include "machine/calculator.h"
#include "machine/memory_bus.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::CalculatorFixture;
using test::RomBuilder;

constexpr std::uint16_t kMoveLongToD0 = 0x203C;  // MOVE.L #imm,D0
constexpr std::uint16_t kNop = 0x4E71;
constexpr std::uint32_t kCode = 0x420000;

void StoreCode(Calculator& m, std::uint32_t address, std::initializer_list<std::uint16_t> words) {
  for (const std::uint16_t word : words) {
    ASSERT_TRUE(PokeBytes(m, address, std::array{static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word)}));
    address += 2;
  }
}

// A MOVE.L #imm,D0 whose immediate straddles the end of a stretch of the
// map: the low word comes from whatever the bus puts after it.
TEST(InstructionFetch, ImmediatesAcrossTheEdgesOfRamAndFlash) {
  struct Case {
    const char* name;
    std::uint32_t pc;        // the opcode
    std::uint32_t nextWord;  // where the immediate's low word is read
  };
  const Case cases[] = {
      {"address 0, the first fetch of a new machine", 0x000000, 0x000004},
      {"a 64 KB boundary inside RAM", 0x00FFFC, 0x010000},
      {"the end of RAM, wrapping to its start", 0x03FFFC, 0x000000},
      {"the end of a RAM mirror", 0x0BFFFC, 0x000000},
      {"the end of the last mirror, into the empty region", 0x1FFFFC, 0x200000},
      {"the end of the flash, into the ports", 0x5FFFFC, 0x600000},
      {"the flash with the PC's unused top byte set", 0xAB420000, 0x420004},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CalculatorFixture f(RomBuilder().Code(kCode, {kMoveLongToD0, 0x1234, 0x5678}));
    Calculator& calc = *f.calc;
    const std::uint32_t opcode = c.pc & 0xFFFFFF;
    if (opcode != kCode) StoreCode(calc, opcode, {kMoveLongToD0, 0x1234});
    if (c.nextWord < 0x200000) StoreCode(calc, c.nextWord, {0x5678});
    // What a plain word read there gives (ports answer without side effects
    // that matter here); read on a copy so that the run sees the same ports.
    Calculator probe = calc;
    const std::uint32_t low = ReadWord(probe, c.nextWord) & 0xFFFF;

    calc.cpu.pc = c.pc;
    ASSERT_EQ(RunInstructions(calc, 1, nullptr), RunResult::Completed);
    EXPECT_EQ(calc.cpu.d(0), 0x12340000u | low);
    EXPECT_EQ(calc.cpu.pc, c.pc + 6);
    if (c.nextWord < 0x200000) {
      EXPECT_EQ(low, 0x5678u) << "RAM behind the edge";
    }
  }
}

// The flash answers reads with its status (all ones) once a program command
// has gone out: the next opcode fetched from it is 0xFFFF, a line-F
// instruction, even though the code that sent the command runs there.
TEST(InstructionFetch, FlashInItsStatusModeIsFetchedAsAllOnes) {
  CalculatorFixture f(RomBuilder().Code(kCode, {
                                                   0x207C, 0x0044, 0x0000,  // MOVEA.L #0x440000,A0
                                                   0x30BC, 0x5050,          // MOVE.W #0x5050,(A0)
                                                   0x30BC, 0x1010,          // MOVE.W #0x1010,(A0)
                                                   0x30BC, 0x1234,          // MOVE.W #0x1234,(A0)
                                                   kNop,
                                               }));
  Calculator& calc = *f.calc;
  ASSERT_EQ(RunInstructions(calc, 4, nullptr), RunResult::Completed);
  ASSERT_EQ(calc.flashState, FlashState::StatusRead);
  EXPECT_EQ(calc.cpu.pc, kCode + 18);

  ASSERT_EQ(RunInstructions(calc, 1, nullptr), RunResult::Completed);
  EXPECT_EQ(calc.cpu.pc, RomBuilder::kDefaultHandler) << "the line-F exception was taken";
  EXPECT_EQ(test::StackedPc(calc), kCode + 18) << "at the NOP the flash hid";
}

// A debugger's patch of the code under the PC, in flash and in RAM, is what
// the next fetch there reads.
TEST(InstructionFetch, PatchedCodeRunsAtTheNextFetch) {
  for (const std::uint32_t loop : {kCode, std::uint32_t{0x1000}}) {
    SCOPED_TRACE(loop);
    CalculatorFixture f;
    Calculator& calc = *f.calc;
    StoreCode(calc, loop, {0x7001, 0x60FC});  // MOVEQ #1,D0; BRA.S back to it
    calc.cpu.pc = loop;
    ASSERT_EQ(RunInstructions(calc, 2, nullptr), RunResult::Completed);
    EXPECT_EQ(calc.cpu.d(0), 1u);
    ASSERT_TRUE(PokeByte(calc, loop + 1, 5));  // MOVEQ #5,D0
    ASSERT_EQ(RunInstructions(calc, 1, nullptr), RunResult::Completed);
    EXPECT_EQ(calc.cpu.d(0), 5u);
  }
}

// A copy of a machine that is running code in RAM runs its own RAM, also
// once the original is gone, and so does a machine another is assigned to.
TEST(InstructionFetch, ACopyRunsFromItsOwnMemory) {
  auto original = std::make_unique<Calculator>(RomBuilder().bytes());
  StoreCode(*original, 0x1000, {0x7001, 0x60FC});  // MOVEQ #1,D0; BRA.S back to it
  original->cpu.pc = 0x1000;
  ASSERT_EQ(RunInstructions(*original, 2, nullptr), RunResult::Completed);

  auto copy = std::make_unique<Calculator>(*original);
  Calculator assigned(RomBuilder().bytes());
  ASSERT_EQ(RunInstructions(assigned, 3, nullptr), RunResult::Completed);
  assigned = *original;
  original.reset();

  copy->ram[0x1001] = 2;
  assigned.ram[0x1001] = 3;
  ASSERT_EQ(RunInstructions(*copy, 1, nullptr), RunResult::Completed);
  ASSERT_EQ(RunInstructions(assigned, 1, nullptr), RunResult::Completed);
  EXPECT_EQ(copy->cpu.d(0), 2u);
  EXPECT_EQ(assigned.cpu.d(0), 3u);
}

// A jump to an odd address in RAM faults on the opcode fetch there, as it
// does on any other memory.
TEST(InstructionFetch, OddPcInRamIsAnAddressError) {
  CalculatorFixture f(RomBuilder().Code(kCode, {
                                                   0x207C, 0x0000, 0x1001,  // MOVEA.L #0x1001,A0
                                                   0x4ED0,                  // JMP (A0)
                                               }));
  Calculator& calc = *f.calc;
  StoreCode(calc, 0x1000, {kNop, kNop});
  ASSERT_EQ(RunInstructions(calc, 2, nullptr), RunResult::Completed);
  EXPECT_EQ(calc.cpu.pc, 0x1001u);
  ASSERT_EQ(RunInstructions(calc, 1, nullptr), RunResult::Completed);
  EXPECT_EQ(calc.cpu.pc, RomBuilder::kDefaultHandler) << "the address error was taken";
}

}  // namespace
}  // namespace pellux
