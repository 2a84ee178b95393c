// The benchmark workload run by the core, on the flat memory and on the
// calculator's bus, against the same kernels compiled for the host: every
// instruction the compiler chose for them has to behave exactly.
#include <gtest/gtest.h>

#ifdef PELLUX_HAVE_WORKLOAD

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <span>
#include <vector>

#include "cpu/core.h"
#include "cpu/exceptions.h"
#include "cpu/flat_machine.h"
#include "kernels.h"
#include "machine/calculator.h"
#include "tests/test_paths.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

// A short run: every kernel runs, and the sanitizer build stays quick.
constexpr std::uint32_t kPasses = 2;
constexpr std::uint32_t kBudget = 40'000'000;

std::vector<std::uint8_t> ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t Be32(const std::uint8_t* p) { return std::uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

// Sets the pass count after checking that the image holds the built-in one there.
void PatchPasses(std::vector<std::uint8_t>& image, std::size_t resultsOffset) {
  const std::size_t at = resultsOffset + WORKLOAD_PASSES_OFFSET;
  ASSERT_GE(image.size(), at + 4);
  ASSERT_EQ(Be32(&image[at]), std::uint32_t{PELLUX_WORKLOAD_PASSES}) << "the results block moved";
  image[at] = 0;
  image[at + 1] = 0;
  image[at + 2] = 0;
  image[at + 3] = static_cast<std::uint8_t>(kPasses);
}

struct Outcome {
  std::uint32_t checksum = 0;
  std::uint32_t status = 0;
  std::array<std::uint8_t, WORKLOAD_FRAME_BYTES> frame{};
};

Outcome HostReference() {
  Outcome reference;
  std::uint16_t status = 0;
  reference.checksum = RunWorkload(kPasses, reference.frame.data(), &status);
  reference.status = status;
  return reference;
}

// Runs until STOP; false when the budget ran out first.
template <class M>
bool RunToStop(M& m) {
  for (std::uint32_t done = 0; done < kBudget; done += 1024) {
    if (RunInstructions(m, 1024, nullptr) == RunResult::Asleep) return true;
  }
  return false;
}

Outcome ReadOutcome(const std::uint8_t* ram) {
  Outcome outcome;
  const std::uint8_t* results = ram + WORKLOAD_RESULTS_ADDRESS;
  outcome.checksum = Be32(results + WORKLOAD_CHECKSUM_OFFSET);
  outcome.status = results[WORKLOAD_STATUS_OFFSET] << 8 | results[WORKLOAD_STATUS_OFFSET + 1];
  std::memcpy(outcome.frame.data(), ram + WORKLOAD_FRAME_ADDRESS, WORKLOAD_FRAME_BYTES);
  return outcome;
}

void ExpectSameOutcome(const Outcome& emulated, const Outcome& reference) {
  ASSERT_EQ(reference.status, std::uint32_t{WORKLOAD_STATUS_OK}) << "the host build fails its own checks";
  EXPECT_EQ(emulated.status, std::uint32_t{WORKLOAD_STATUS_OK})
      << std::hex << "0xBAnn: kernel nn failed its check; 0xDEnn: exception vector nn was taken";
  EXPECT_EQ(emulated.checksum, reference.checksum) << std::hex << "emulated " << emulated.checksum
                                                   << ", host " << reference.checksum;
  std::size_t firstDifference = 0;
  while (firstDifference < reference.frame.size() &&
         emulated.frame[firstDifference] == reference.frame[firstDifference]) {
    ++firstDifference;
  }
  EXPECT_EQ(firstDifference, reference.frame.size()) << "the frames differ from byte " << firstDifference;
}

TEST(Workload, FlatRunMatchesTheHostBuild) {
  std::vector<std::uint8_t> image = ReadFile(test::kWorkloadImage);
  PatchPasses(image, WORKLOAD_RESULTS_ADDRESS);
  ASSERT_LE(image.size(), FlatMachine::kSize);
  auto m = std::make_unique<FlatMachine>();
  std::memcpy(m->memory.get(), image.data(), image.size());
  Reset(*m);

  ASSERT_TRUE(RunToStop(*m)) << "no STOP within " << kBudget << " instructions; PC " << std::hex << m->cpu.pc;
  ExpectSameOutcome(ReadOutcome(m->memory.get()), HostReference());
}

TEST(Workload, CalculatorRunMatchesTheHostBuildAndShowsTheFrame) {
  std::vector<std::uint8_t> image = ReadFile(test::kWorkloadRom);
  PatchPasses(image, WORKLOAD_ROM_RESULTS_OFFSET);
  auto calc = std::make_unique<Calculator>(image);

  ASSERT_TRUE(RunToStop(*calc)) << "no STOP within " << kBudget << " instructions; PC " << std::hex
                                << calc->cpu.pc;
  const Outcome reference = HostReference();
  ExpectSameOutcome(ReadOutcome(calc->ram.data()), reference);

  std::array<std::uint8_t, kLcdFrameBytes> lcd{};
  calc->GetLcdFrame(lcd.data());
  EXPECT_TRUE(std::equal(lcd.begin(), lcd.end(), reference.frame.begin())) << "the LCD does not show the drawing";
}

// The flat image run from the calculator's RAM (where it fits: vectors at 0,
// code at 0x10000, the stack below 0x40000) and on the flat memory, one
// instruction at a time: the calculator fetches from RAM through its own
// window, the flat memory through its plain reads, and every register, the
// status register and the PC agree after every instruction.
TEST(Workload, CodeInCalculatorRamRunsInLockstepWithTheFlatMemory) {
  std::vector<std::uint8_t> image = ReadFile(test::kWorkloadImage);
  PatchPasses(image, WORKLOAD_RESULTS_ADDRESS);
  ASSERT_LE(image.size(), kRamSize);
  auto flat = std::make_unique<FlatMachine>();
  std::memcpy(flat->memory.get(), image.data(), image.size());
  Reset(*flat);
  auto calc = std::make_unique<Calculator>(std::span<const std::uint8_t>{});
  std::copy(image.begin(), image.end(), calc->ram.begin());
  Reset(*calc);

  std::uint32_t steps = 0;
  RunResult result = RunResult::Completed;
  for (; steps < kBudget && result != RunResult::Asleep; ++steps) {
    const std::uint32_t pc = flat->cpu.pc;
    result = RunInstructions(*flat, 1, nullptr);
    ASSERT_EQ(RunInstructions(*calc, 1, nullptr), result) << std::hex << "at PC " << pc;
    ASSERT_EQ(calc->cpu.pc, flat->cpu.pc) << std::hex << "after the instruction at " << pc;
    ASSERT_EQ(GetSR(calc->cpu), GetSR(flat->cpu)) << std::hex << "after the instruction at " << pc;
    for (unsigned r = 0; r < 16; ++r) {
      ASSERT_EQ(calc->cpu.regs[r], flat->cpu.regs[r]) << std::hex << "register " << r << " after " << pc;
    }
  }
  ASSERT_EQ(result, RunResult::Asleep) << "no STOP within " << std::dec << kBudget << " instructions";
  ExpectSameOutcome(ReadOutcome(calc->ram.data()), HostReference());
}

}  // namespace
}  // namespace pellux

#else

TEST(Workload, NeedsTheM68kToolchain) { GTEST_SKIP() << "m68k-linux-gnu-gcc was not found: no workload image"; }

#endif
