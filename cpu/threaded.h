// Threaded dispatch: each handler ends by fetching the next opcode and
// jumping straight to that opcode's handler, so that the host sees one
// indirect jump per instruction, at the end of the instruction that leads
// to it, instead of one shared call site in the loop that it cannot predict.
//
// The instruction bodies stay plain `void(M&)` functions; Threaded<&Body>
// wraps one body with the step to the next instruction. The chain hands
// control back to the run loop whenever something needs the loop: a fault,
// a stop or a device request recorded by the instruction, the trace flag,
// or the end of the count it was given. That count is at most kChainLength,
// so where the compiler keeps the call to the next handler a real call (an
// unoptimized or instrumented build) the stack still holds no more than
// kChainLength frames.
#pragma once

#include <array>
#include <cstdint>

#include "cpu/always_inline.h"
#include "cpu/cpu_state.h"
#include "cpu/instruction_stream.h"

namespace pellux {

// One instruction body, extension words included.
template <class M>
using Handler = void (*)(M&);

// Runs the instruction whose opcode was just fetched, then as many that
// follow as `left` allows; answers what is left of `left` (0 when it ran
// out). At least one instruction, the first, always runs.
template <class M>
using ThreadedHandler = std::uint32_t (*)(M&, std::uint32_t left);

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
// fault, stop or device request, or the trace flag. The two bytes are
// neighbours and the test is written as one 16-bit word of them, which the
// compiler reads with one load.
template <class M>
PELLUX_ALWAYS_INLINE bool NeedsLoop(const M& m) {
  return (static_cast<unsigned>(m.cpu.runState) << 8 | m.cpu.t) != 0;
}

// Fetches the opcode at pc and runs its handler with the budget left.
template <class M>
PELLUX_ALWAYS_INLINE std::uint32_t RunFromPc(M& m, std::uint32_t left) {
  CpuState& cpu = m.cpu;
  cpu.opPc = cpu.pc;
  const std::uint32_t op = FetchWord(m) & 0xFFFF;
  cpu.opcode = static_cast<std::uint16_t>(op);
  return DispatchStorage<M>::entries[op](m, left);
}

// Whether the next opcode can be fetched on the fast path alone. A bus whose
// instruction fetch has an out-of-line slow path says so here (found by
// argument-dependent lookup), and the chain hands that fetch to the run loop:
// a handler that never calls out keeps no stack frame.
template <class M>
PELLUX_ALWAYS_INLINE bool FetchIsQuick(const M&) {
  return true;
}

// The body, then the step to the next instruction. The call at the end is
// in tail position with the same signature, which an optimizing compiler
// turns into a jump.
template <auto kBody>
std::uint32_t Threaded(typename BodyMachine<decltype(kBody)>::Type& m, std::uint32_t left) {
  kBody(m);
  if (--left == 0 || NeedsLoop(m) || !FetchIsQuick(m)) [[unlikely]]
    return left;
  return RunFromPc(m, left);
}

}  // namespace pellux
