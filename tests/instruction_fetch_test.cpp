// The instruction stream: on the calculator, what the processor fetches at
// the edges of RAM and flash, when the flash stops reading its contents
// under the running code, after a debugger patches the code, and in a copy
// of a running machine; on the flat bus, what it fetches at the top of
// memory, past 24 bits and at an odd PC.
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
using test::FlatFixture;
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

// The flat bus reads most of its instruction stream without the bus's
// mask: a PC with bits above the 24 still reads the memory the bus would,
// a long immediate on the last word wraps to address 0, and an odd PC is an
// address error, in a long run as in a single step.
TEST(InstructionFetch, FlatBusAtTheTopOfMemoryPast24BitsAndOdd) {
  struct Case {
    const char* name;
    std::uint32_t at;     // where the code is stored
    std::uint32_t pc;     // where the run starts
    std::uint32_t count;  // instructions run: the MOVE, then NOPs
    std::uint32_t d0;     // after MOVE.L #imm,D0
  };
  const Case cases[] = {
      {"the immediate ends on the last byte", 0xFFFFFA, 0xFFFFFA, 1, 0x12345678},
      {"the immediate wraps to address 0", 0xFFFFFC, 0xFFFFFC, 1, 0x12340000 | FlatFixture::kStack >> 16},
      {"the PC has bits above 24", 0x002000, 0xAB002000, 1, 0x12345678},
      {"the PC has bits above 24, then NOPs", 0x002000, 0xAB002000, 3, 0x12345678},
      {"the PC has bits above 24 at the top", 0xFFFFFA, 0x01FFFFFA, 1, 0x12345678},
  };
  for (const Case& c : cases) {
    FlatFixture f;
    Reset(f.m);
    test::Poke(f.m, c.at, {kMoveLongToD0, 0x1234});
    // The low word of the immediate, unless it wraps onto the reset vector.
    if (c.at != 0xFFFFFC) test::Poke(f.m, c.at + 4, {0x5678});
    if (c.at + 6 < FlatMachine::kSize) test::Poke(f.m, c.at + 6, {kNop, kNop});
    f.m.cpu.pc = c.pc;
    ASSERT_EQ(RunInstructions(f.m, c.count, nullptr), RunResult::Completed) << c.name;
    EXPECT_EQ(f.m.cpu.d(0), c.d0) << c.name;
    EXPECT_EQ(f.m.cpu.pc, c.pc + 6 + 2 * (c.count - 1)) << c.name;
    EXPECT_EQ(f.m.cpu.runState, RunState::Running) << c.name;
  }

  FlatFixture f;
  Reset(f.m);
  test::Poke(f.m, 0x2000, {kNop, kNop});
  f.m.cpu.pc = 0x2001;
  ASSERT_EQ(RunInstructions(f.m, 1, nullptr), RunResult::Completed);
  EXPECT_EQ(f.VectorTaken(), 3) << "an odd PC is an address error";
  EXPECT_EQ(f.m.cpu.instructionCount, 1u);
}

}  // namespace
}  // namespace pellux
