// Microbenchmarks of the core's hot path, in emulated instructions per
// second (items_per_second): dispatch alone on a run of NOPs, and a loop of
// MOVEs, DBRA and BRA on the flat memory and on the calculator's bus, with
// its code in RAM and in flash. Built by the default build, never run by the
// test suite: `build/release/bench/pellux-microbench`.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "cpu/core.h"
#include "cpu/flat_machine.h"
#include "machine/calculator.h"

namespace {

using namespace pellux;

constexpr std::uint32_t kBatch = 1024;
constexpr std::uint32_t kCode = 0x1000;

// lea 0x2000,a0; lea 0x3000,a1; moveq #15,d0
// 1: move.l (a0)+,(a1)+; move.w (a0)+,d1; move.w d1,(a1)+; move.l d1,d2
//    move.w 4(a0),d3; dbra d0,1b
//    bra back to the lea
// 100 instructions a round, 80 of them MOVEs: data from 0x2000, copies to 0x3000.
constexpr std::uint16_t kMoveLoop[] = {0x41F9, 0x0000, 0x2000, 0x43F9, 0x0000, 0x3000, 0x700F, 0x22D8,
                                       0x3218, 0x32C1, 0x2401, 0x3628, 0x0004, 0x51C8, 0xFFF2, 0x60E0};
constexpr std::uint32_t kMoveLoopBytes = sizeof kMoveLoop;

void StoreWords(std::uint8_t* to, const std::uint16_t* words, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    to[2 * i] = static_cast<std::uint8_t>(words[i] >> 8);
    to[2 * i + 1] = static_cast<std::uint8_t>(words[i]);
  }
}

// The loop stays inside its own code unless an instruction misbehaved.
template <class M>
bool StillInLoop(const M& m, std::uint32_t base) {
  return m.cpu.pc >= base && m.cpu.pc < base + kMoveLoopBytes && m.cpu.runState == RunState::Running;
}

template <class M>
void RunBatches(benchmark::State& state, M& m, std::uint32_t restartPc) {
  for (auto _ : state) {
    if (restartPc) m.cpu.pc = restartPc;
    benchmark::DoNotOptimize(RunInstructions(m, kBatch, nullptr));
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kBatch);
}

void FlatNops(benchmark::State& state) {
  auto m = std::make_unique<FlatMachine>();
  for (std::uint32_t a = 0; a < FlatMachine::kSize; a += 2) {
    m->memory[a] = 0x4E;  // NOP everywhere, so the vectors and the PC's wrap do not matter
    m->memory[a + 1] = 0x71;
  }
  Reset(*m);
  RunBatches(state, *m, kCode);
}
BENCHMARK(FlatNops);

void FlatMoveLoop(benchmark::State& state) {
  auto m = std::make_unique<FlatMachine>();
  StoreWords(&m->memory[kCode], kMoveLoop, std::size(kMoveLoop));
  Reset(*m);
  m->cpu.pc = kCode;
  RunBatches(state, *m, 0);
  if (!StillInLoop(*m, kCode)) state.SkipWithError("the MOVE loop left its code: an instruction is missing");
}
BENCHMARK(FlatMoveLoop);

// A calculator on an empty flash image (no marker: the vectors come from offset 0).
class CalculatorBench {
 public:
  CalculatorBench() : calc(std::make_unique<Calculator>(std::vector<std::uint8_t>(256, 0))) {}
  std::unique_ptr<Calculator> calc;
};

void CalculatorMoveLoop(benchmark::State& state, std::uint32_t base) {
  CalculatorBench bench;
  Calculator& calc = *bench.calc;
  std::uint8_t* code = base >= 0x400000 ? &calc.rom[base - 0x400000] : &calc.ram[base];
  StoreWords(code, kMoveLoop, std::size(kMoveLoop));
  // The closing BRA goes back to the start of the copy.
  calc.cpu.pc = base;
  RunBatches(state, calc, 0);
  if (!StillInLoop(calc, base)) state.SkipWithError("the MOVE loop left its code: an instruction is missing");
}
BENCHMARK_CAPTURE(CalculatorMoveLoop, CodeInRam, kCode);
BENCHMARK_CAPTURE(CalculatorMoveLoop, CodeInFlash, 0x400000 + kCode);

}  // namespace

BENCHMARK_MAIN();
