// Reset, one instruction, and the counted run loop.
//
// The core keeps no cycle counts and no prefetch queue: work is counted in
// instructions. Faults are recorded in runState by the bus and the operand
// operations while the instruction runs to its end; the loop answers them
// afterwards. Interrupts are not polled here: they are taken when requested
// or when SetSR lowers the mask.
#pragma once

#include <cstdint>

#include "cpu/always_inline.h"
#include "cpu/dispatch.h"
#include "cpu/exceptions.h"
#include "cpu/instruction_stream.h"
#include "cpu/breakpoint_set.h"

namespace pellux {

// Unlike the MC68000, the mask is 0 after reset and every register is cleared.
template <class M>
void Reset(M& m) {
  CpuState& cpu = m.cpu;
  cpu = CpuState{};
  cpu.s = 1;
  cpu.regs[15] = ReadLong(m, 0);
  cpu.pc = ReadLong(m, 4);
}

// Fetches the opcode at pc and runs it and the instructions that follow,
// `chain` at most, returning to the loop early when one needs it. Answers
// how many of them ran: what was given less what is left. A state that
// already needs the loop runs one instruction.
template <class M>
PELLUX_ALWAYS_INLINE std::uint32_t ExecuteChain(M& m, std::uint32_t chain) {
  CpuState& cpu = m.cpu;
  cpu.chainLeft = chain - 1;
  if (NeedsLoop(m)) [[unlikely]]
    cpu.EndChain();
  RunFromPc(m);
  return chain - ((cpu.chainLeft + 1) & ~CpuState::kChainEnded);
}

// Settles a fault the instruction recorded: a refused mode is replayed as an
// illegal instruction at the opcode, an address fault becomes vector 3 after
// the instruction. StopRequest and ProtectFault are for the caller to act
// on. Returns the state the instruction ended in; runState is Running again.
template <class M>
[[gnu::noinline]] RunState SettleFault(M& m) {
  CpuState& cpu = m.cpu;
  const RunState state = cpu.runState;
  if (state == RunState::IllegalOp) {
    cpu.pc = cpu.opPc;
    RaiseException(m, kVectorIllegal);
  } else if (state == RunState::AddressFault) {
    RaiseException(m, kVectorAddressError);
  }
  cpu.runState = RunState::Running;
  return state;
}

// Runs the instruction at pc and settles what it asked for. No trace step:
// the run loop adds it.
template <class M>
PELLUX_ALWAYS_INLINE RunState ExecuteAndSettle(M& m) {
  CpuState& cpu = m.cpu;
  Dispatch<M>();
  ExecuteChain(m, 1);
  if (cpu.runState != RunState::Running) return SettleFault(m);
  return RunState::Running;
}

// What follows an instruction that left a fault or a stop behind, or ran
// with T set. Answers the result that ends the run, or Completed to go on.
template <class M>
[[gnu::noinline]] RunResult AfterUnusualInstruction(M& m) {
  CpuState& cpu = m.cpu;
  if (cpu.runState == RunState::Running || cpu.runState == RunState::DeviceRequest) {
    const bool device = cpu.runState == RunState::DeviceRequest;
    cpu.runState = RunState::Running;
    // The instruction that turned T on is not traced.
    if (cpu.t && !cpu.traceJustSet) RaiseException(m, kVectorTrace);
    cpu.traceJustSet = 0;
    return device ? RunResult::DeviceRequest : RunResult::Completed;
  }
  switch (SettleFault(m)) {  // illegal or address error: counted, never traced
    case RunState::StopRequest:
      return RunResult::Asleep;
    case RunState::ProtectFault:
      return RunResult::ProtectViolation;
    default:
      return RunResult::Completed;
  }
}

// Runs until `left` reaches 0 or something ends the run; every instruction
// executed, the last one included, is taken off `left`. Without breakpoints
// the handlers run in chains of up to kChainLength instructions; with them,
// one at a time so that the pc is tested before every instruction.
template <bool kTestBreakpoints, class M>
PELLUX_ALWAYS_INLINE RunResult RunLoop(M& m, std::uint32_t& left, const BreakpointSet* breakpoints) {
  for (;;) {
    std::uint32_t chain = 1;
    if constexpr (kTestBreakpoints) {
      if (breakpoints->Contains(m.cpu.pc)) return RunResult::Breakpoint;
    } else {
      chain = left < kChainLength ? left : kChainLength;
    }
    left -= ExecuteChain(m, chain);
    // One test for both a recorded fault and the trace flag.
    if (NeedsLoop(m)) [[unlikely]] {
      const RunResult result = AfterUnusualInstruction(m);
      if (result != RunResult::Completed) return result;
    }
    if (left == 0) return RunResult::Completed;
  }
}

// One instruction without the trace step, as the conformance vectors expect.
template <class M>
RunState StepInstruction(M& m) {
  return ExecuteAndSettle(m);
}

// Runs up to count instructions (a count of 0 runs none). With a breakpoint
// set, the pc is tested before every instruction, the first one included.
template <class M>
RunResult RunInstructions(M& m, std::uint32_t count, const BreakpointSet* breakpoints) {
  if (count == 0) return RunResult::Completed;
  std::uint32_t left = count;
  Dispatch<M>();
  const RunResult result =
      breakpoints ? RunLoop<true>(m, left, breakpoints) : RunLoop<false>(m, left, nullptr);
  m.cpu.instructionCount += count - left;
  return result;
}

}  // namespace pellux
