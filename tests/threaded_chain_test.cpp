// Long runs, where the handlers pass control from one instruction to the
// next without going back to the run loop: they must end in exactly the
// state that running the same instructions one at a time leaves, and must
// not grow the stack however long they are.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#if __has_include(<pthread.h>)
#include <pthread.h>
#define PELLUX_TEST_HAS_PTHREAD 1
#endif

#include "cpu/core.h"
#include "cpu/exceptions.h"
#include "cpu/threaded.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::FlatFixture;
using test::Poke;
using test::PokeLong;

constexpr std::uint16_t kNop = 0x4E71;
constexpr std::uint32_t kHandlers = 0x3000;

// An endless program that meets, on every pass, a trap, an address error
// taken after its instruction, a stretch traced from the instruction after
// the MOVE to SR that turned T on, an illegal instruction, and a tight
// inner loop long enough for whole chains. The handlers count what they
// saw: D6 the traps, D7 the traced instructions, D5 the address errors.
struct LoopingProgram : FlatFixture {
  LoopingProgram() {
    Load({
        0x5280,          // 2000 loop: addq.l #1,d0
        0x4E40,          // 2002 trap #0
        0x3428, 0x0001,  // 2004 move.w 1(a0),d2: odd, vector 3 after it
        0x46FC, 0xA700,  // 2008 move.w #$A700,sr: T on, not traced itself
        kNop, kNop,      // 200C traced
        0x46FC, 0x2700,  // 2010 move.w #$2700,sr: T off
        0x4AFC,          // 2014 illegal, skipped by its handler
        0x7664,          // 2016 moveq #100,d3
        0x5284,          // 2018 inner: addq.l #1,d4
        0x51CB, 0xFFFC,  // 201A dbf d3,inner
        0x6000, 0xFFE0,  // 201E bra.w loop
    });
    Poke(m, kHandlers,
         {0x5286, 0x4E73,          // trap: addq.l #1,d6; rte
          0x5287, 0x4E73,          // trace: addq.l #1,d7; rte
          0x54AF, 0x0002, 0x4E73,  // illegal: addq.l #2,2(a7); rte
          0x5285, 0x4E73});        // address error: addq.l #1,d5; rte
    PokeLong(m, 4 * kVectorTrapBase, kHandlers);
    PokeLong(m, 4 * kVectorTrace, kHandlers + 4);
    PokeLong(m, 4 * kVectorIllegal, kHandlers + 8);
    PokeLong(m, 4 * kVectorAddressError, kHandlers + 14);
    m.cpu.a(0) = 0x4000;
  }
};

// Everything an instruction can change in this program: the processor
// state and the stack page.
std::vector<std::uint64_t> Snapshot(const FlatMachine& m) {
  const CpuState& cpu = m.cpu;
  std::vector<std::uint64_t> values(std::begin(cpu.regs), std::end(cpu.regs));
  values.insert(values.end(),
                {cpu.pc, cpu.opPc, cpu.opcode, cpu.otherSp, GetSR(cpu), cpu.traceJustSet,
                 static_cast<std::uint64_t>(cpu.runState), cpu.pendingInts, cpu.instructionCount});
  for (std::uint32_t a = FlatFixture::kStack - 0x100; a < FlatFixture::kStack; ++a)
    values.push_back(m.memory[a]);
  return values;
}

TEST(ThreadedChain, LongRunsEndAsOneInstructionAtATime) {
  // Lengths around the chain's own limit and well past it.
  for (const std::uint32_t count : {1u, 2u, 17u, 255u, 256u, 257u, 511u, 1000u, 20'011u}) {
    LoopingProgram whole, single, watched;
    EXPECT_EQ(RunInstructions(whole.m, count, nullptr), RunResult::Completed) << count;
    for (std::uint32_t i = 0; i < count; ++i)
      ASSERT_EQ(RunInstructions(single.m, 1, nullptr), RunResult::Completed);
    BreakpointSet never;
    never.Toggle(0xFFFFF0);
    EXPECT_EQ(RunInstructions(watched.m, count, &never), RunResult::Completed) << count;

    EXPECT_EQ(whole.m.cpu.instructionCount, count);
    EXPECT_EQ(Snapshot(whole.m), Snapshot(single.m)) << count << " instructions in one run and one by one";
    EXPECT_EQ(Snapshot(whole.m), Snapshot(watched.m))
        << count << " instructions with and without breakpoints";
  }
  // The long run went through every kind of exit the chain has.
  LoopingProgram p;
  RunInstructions(p.m, 20'011, nullptr);
  EXPECT_GT(p.m.cpu.d(6), 20u) << "traps";
  EXPECT_GT(p.m.cpu.d(5), 20u) << "address errors";
  EXPECT_LE(p.m.cpu.d(7), 2 * p.m.cpu.d(6)) << "two traced instructions a pass";
  EXPECT_GE(p.m.cpu.d(7) + 2, 2 * p.m.cpu.d(6)) << "two traced instructions a pass";
  EXPECT_GT(p.m.cpu.d(4), 20'000u / 4) << "the inner loop";
}

// One unusual instruction as the last of a chain's worth of NOPs, in a
// loop: what it asks of the run loop (sometimes twice, sometimes taken back
// within the same instruction) must end the chain with every instruction
// counted, whatever the run's length.
struct ChainEndCase {
  const char* what;
  std::vector<std::uint16_t> instruction;
  std::uint32_t srBefore;      // loaded before the run
  unsigned pendingLevel;       // requested before the run, 0 for none
};

RunResult RunOneByOne(FlatMachine& m, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) {
    const RunResult result = RunInstructions(m, 1, nullptr);
    if (result != RunResult::Completed) return result;
  }
  return RunResult::Completed;
}

TEST(ThreadedChain, WhatAnInstructionAsksEndsTheChainWithEveryInstructionCounted) {
  const ChainEndCase cases[] = {
      // move.w 1(a0),3(a0): the read and the write both fault.
      {"two address faults in one instruction", {0x3168, 0x0001, 0x0003}, 0x2700, 0},
      // stop #$2000 lets the waiting level 5 in, which ends the stop at once.
      {"a stop ended by the interrupt it unmasks", {0x4E72, 0x2000}, 0x2700, 5},
      {"the trace flag on from the start", {kNop}, 0xA700, 0},
  };
  constexpr std::uint32_t kStretch = kChainLength - 1;  // the instruction is a chain's last
  for (const ChainEndCase& c : cases) {
    for (const std::uint32_t count : {1u, kStretch, kStretch + 1, kStretch + 2, 3 * kChainLength, 5000u}) {
      FlatFixture whole, single;
      for (FlatFixture* f : {&whole, &single}) {
        for (std::uint32_t i = 0; i < kStretch; ++i) Poke(f->m, FlatFixture::kCode + 2 * i, {kNop});
        std::uint32_t at = FlatFixture::kCode + 2 * kStretch;
        for (const std::uint16_t word : c.instruction) {
          Poke(f->m, at, {word});
          at += 2;
        }
        Poke(f->m, at, {0x6000, static_cast<std::uint16_t>(FlatFixture::kCode - at - 2)});  // bra.w
        for (const unsigned vector : {3u, 9u, 29u}) Poke(f->m, FlatFixture::HandlerOf(vector), {0x4E73});
        Reset(f->m);
        f->m.cpu.a(0) = 0x4000;
        WriteSystemRegister(f->m.cpu, SystemRegister::Sr, c.srBefore);
        if (c.pendingLevel) RequestInterrupt(f->m, c.pendingLevel);
      }
      EXPECT_EQ(RunInstructions(whole.m, count, nullptr), RunOneByOne(single.m, count)) << c.what << ", " << count;
      EXPECT_EQ(Snapshot(whole.m), Snapshot(single.m)) << c.what << ", " << count;
      if (count == 5000u) {
        EXPECT_GT(whole.m.cpu.instructionCount, 2 * kChainLength) << c.what;
      }
    }
  }
}

// A run that meets a STOP or a breakpoint deep into a stretch of plain
// instructions ends there, with every instruction before it counted.
TEST(ThreadedChain, EndsInsideALongStretch) {
  constexpr std::uint32_t kStretch = 700;
  FlatFixture f;
  f.Load({});
  for (std::uint32_t i = 0; i < kStretch; ++i) Poke(f.m, FlatFixture::kCode + 2 * i, {kNop});
  Poke(f.m, FlatFixture::kCode + 2 * kStretch, {0x4E72, 0x2700});  // stop #$2700
  Reset(f.m);

  BreakpointSet breakpoints;
  breakpoints.Toggle(FlatFixture::kCode + 2 * 600);
  EXPECT_EQ(RunInstructions(f.m, 5000, &breakpoints), RunResult::Breakpoint);
  EXPECT_EQ(f.m.cpu.pc, FlatFixture::kCode + 2 * 600);
  EXPECT_EQ(f.m.cpu.instructionCount, 600u);

  EXPECT_EQ(RunInstructions(f.m, 5000, nullptr), RunResult::Asleep);
  EXPECT_EQ(f.m.cpu.pc, FlatFixture::kCode + 2 * kStretch + 4);
  EXPECT_EQ(f.m.cpu.instructionCount, kStretch + 1u) << "the STOP counts";
  EXPECT_EQ(GetSR(f.m.cpu), 0x2700u);
}

#ifdef PELLUX_TEST_HAS_PTHREAD
void* RunLongOnSmallStack(void* arg) {
  auto* program = static_cast<LoopingProgram*>(arg);
  RunInstructions(program->m, 3'000'000, nullptr);
  return nullptr;
}
#endif

// Three million instructions on a thread with a 1 MB stack: a chain that
// kept a frame per instruction would need many times that, in any build.
TEST(ThreadedChain, LongRunDoesNotGrowTheStack) {
#ifdef PELLUX_TEST_HAS_PTHREAD
  LoopingProgram program;
  pthread_attr_t attributes;
  ASSERT_EQ(pthread_attr_init(&attributes), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attributes, 1 << 20), 0);
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attributes, RunLongOnSmallStack, &program), 0);
  ASSERT_EQ(pthread_join(thread, nullptr), 0);
  pthread_attr_destroy(&attributes);
  EXPECT_EQ(program.m.cpu.instructionCount, 3'000'000u);
#else
  GTEST_SKIP() << "no POSIX threads to give the run a small stack";
#endif
}

}  // namespace
}  // namespace pellux
