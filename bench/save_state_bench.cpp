// Saving and loading a whole machine, as the window does when it closes and
// starts: a calculator whose flash holds 1 MB of varied code and 1 MB
// erased, and whose RAM is a quarter used. Built into pellux-microbench.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>

#include "machine/calculator.h"
#include "machine/clock.h"
#include "machine/save_state.h"

namespace {

using namespace pellux;

class StateBench {
 public:
  StateBench() : calc(std::make_unique<Calculator>(std::span<const std::uint8_t>{})) {
    std::mt19937 rng(92);
    // Code-like bytes: mostly varied, with the short runs compiled code has.
    for (std::uint32_t i = 0; i < kRomSize / 2; ++i)
      calc->rom[i] = static_cast<std::uint8_t>(rng() % 5 ? rng() : 0);
    for (std::uint32_t i = kRomSize / 2; i < kRomSize; ++i) calc->rom[i] = 0xFF;
    for (std::uint32_t i = 0; i < kRamSize / 4; ++i)
      calc->ram[i] = static_cast<std::uint8_t>(rng() % 3 ? 0 : rng());
  }
  ManualClock clock;
  std::unique_ptr<Calculator> calc;
  const RomIdentity rom{0x92};
};

void SaveWholeState(benchmark::State& state) {
  StateBench bench;
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::vector<std::uint8_t> saved = SaveState(*bench.calc, bench.rom, bench.clock);
    bytes = saved.size();
    benchmark::DoNotOptimize(saved.data());
  }
  state.counters["state_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(SaveWholeState)->Unit(benchmark::kMillisecond);

void LoadWholeState(benchmark::State& state) {
  StateBench bench;
  const std::vector<std::uint8_t> saved = SaveState(*bench.calc, bench.rom, bench.clock);
  for (auto _ : state) {
    LoadStateResult loaded = LoadState(saved, bench.rom, bench.clock);
    if (!loaded.ok()) state.SkipWithError(loaded.message().c_str());
    benchmark::DoNotOptimize(loaded->machine.get());
  }
}
BENCHMARK(LoadWholeState)->Unit(benchmark::kMillisecond);

void IdentifyRomImage(benchmark::State& state) {
  StateBench bench;
  for (auto _ : state) benchmark::DoNotOptimize(IdentifyRom(bench.calc->rom));
}
BENCHMARK(IdentifyRomImage)->Unit(benchmark::kMillisecond);

}  // namespace
