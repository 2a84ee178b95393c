// pellux-headless: boots a ROM image without a window and says what it did.
#include <cstdio>

#include "cpu/core.h"
#include "cpu/exceptions.h"
#include "machine/calculator.h"
#include "machine/errors.h"
#include "machine/memory_bus.h"

int main(int argc, char** argv) {
  using namespace pellux;
  if (argc != 2) {
    std::fprintf(stderr, "usage: pellux-headless ROM\n");
    return 2;
  }
  NullHost host;
  SteadyClock clock;
  try {
    Calculator calc(argv[1], host, clock);
    std::printf("booted %s: SSP %08x, PC %08x\n", argv[1], calc.cpu.a(7), calc.cpu.pc);
    constexpr std::uint32_t kBudget = 10'000'000;
    std::uint32_t stops = 0;
    for (std::uint32_t run = 0; run < kBudget / 1024; ++run) {
      if (RunInstructions(calc, 1024, nullptr) == RunResult::Stopped) ++stops;
    }
    std::printf("ran %u instructions (%u stops); PC %08x, SR %04x\n", kBudget, stops, calc.cpu.pc,
                GetSR(calc.cpu));
  } catch (const ErrMsg& error) {
    std::fprintf(stderr, "%s: %s\n", StringText(error.captionId), StringText(error.textId));
    return 1;
  }
  return 0;
}
