// Threaded dispatch: each handler ends by fetching the next opcode and
// jumping straight to that opcode's handler, so that the host sees one
// indirect jump per instruction, at the end of the instruction that leads
// to it, instead of one shared call site in the loop that it cannot predict.
//
// The instruction bodies stay plain `void(M&)` functions; Threaded<&Body>
// wraps one body with the step to the next instruction. The chain hands
// control back to the run loop at the end of the count it was given
// (CpuState::chainLeft), which is also how anything that needs the loop
// stops it: a fault, a stop or a device request recorded by the instruction,
// or the trace flag turned on, marks the count ended (CpuState::EndChain),
// so that one test after each instruction covers them all. The count is at
// most kChainLength, so where the compiler keeps the call to the next
// handler a real call (an unoptimized or instrumented build) the stack
// still holds no more than kChainLength frames.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "cpu/always_inline.h"
#include "cpu/cpu_state.h"
#include "cpu/instruction_stream.h"

namespace pellux {

// One instruction body, extension words included.
template <class M>
using Handler = void (*)(M&);

// Runs the instruction whose opcode word was just fetched, then as many that
// follow as cpu.chainLeft allows, taking each off it. At least one
// instruction, the first, always runs. The opcode and the PC past it come
// in registers, and the handler stores them in cpu.opcode and cpu.pc: the
// body's fields need no load, and the PC passes from one instruction to the
// next without a round trip through memory.
template <class M>
using ThreadedHandler = void (*)(M&, std::size_t opcode, std::uint32_t pc);

template <class M>
using DispatchTable = std::array<ThreadedHandler<M>, 0x10000>;

// The most instructions one chain runs before it returns to the loop.
inline constexpr std::uint32_t kChainLength = 256;

// The handlers by opcode word for machine M. Constant-initialized to nulls
// and filled once by Dispatch() (cpu/dispatch.h) before any run reads it; a
// handler reaches it directly, without a guard or a pointer to load.
template <class M>
struct DispatchStorage {
  static inline DispatchTable<M> entries{};
};

template <class F>
struct BodyMachine;
template <class M>
struct BodyMachine<void (*)(M&)> {
  using Type = M;
};

// True when the instruction that just finished needs the loop: a recorded
// fault, stop or device request, or the trace flag. The chain itself does
// not test this (what sets them ends the chain); the loop does, after it.
template <class M>
PELLUX_ALWAYS_INLINE bool NeedsLoop(const M& m) {
  return m.cpu.runState != RunState::Running || m.cpu.t;
}

// Fetches the opcode at pc and runs its handler, and the chain from there.
template <class M>
PELLUX_ALWAYS_INLINE void RunFromPc(M& m) {
  CpuState& cpu = m.cpu;
  cpu.opPc = cpu.pc;
  const std::size_t op = FetchWord(m) & 0xFFFF;
  DispatchStorage<M>::entries[op](m, op, cpu.pc);
}

// Whether the next opcode can be fetched on the fast path alone. A bus whose
// instruction fetch has an out-of-line slow path says so here (found by
// argument-dependent lookup), and the chain hands that fetch to the run loop:
// a handler that never calls out keeps no stack frame.
template <class M>
PELLUX_ALWAYS_INLINE bool FetchIsQuick(const M&) {
  return true;
}

// The opcode word at pc, where FetchIsQuick holds. A bus that can read it
// without the PC moving says so here (found by argument-dependent lookup):
// the next handler stores the PC. Otherwise it is an ordinary fetch.
template <class M>
PELLUX_ALWAYS_INLINE std::uint32_t OpcodeAt(M& m, std::uint32_t) {
  return FetchWord(m);
}

// The body, then the step to the next instruction. The call at the end is
// in tail position with the same signature, which an optimizing compiler
// turns into a jump.
template <auto kBody>
void Threaded(typename BodyMachine<decltype(kBody)>::Type& m, std::size_t opcode, std::uint32_t pc) {
  using M = typename BodyMachine<decltype(kBody)>::Type;
  m.cpu.opcode = static_cast<std::uint16_t>(opcode);
  m.cpu.pc = pc;
  kBody(m);
  // Ran out, or ended: the count went negative.
  if (static_cast<std::int32_t>(--m.cpu.chainLeft) < 0 || !FetchIsQuick(m)) [[unlikely]]
    return;
  const std::uint32_t next = m.cpu.pc;
  m.cpu.opPc = next;
  const std::size_t op = OpcodeAt(m, next) & 0xFFFF;
  DispatchStorage<M>::entries[op](m, op, next + 2);
}

}  // namespace pellux
