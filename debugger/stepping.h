// Running the program under the debugger's control: one instruction, over a
// call, out of the current routine, up to an address, and off a breakpoint.
//
// Each command runs instruction by instruction on the machine as it stands
// (no time passes: no timer ticks, as for a single step), gives up after a
// bounded number of instructions so that the window never hangs, and answers
// why it stopped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cpu/breakpoint_set.h"
#include "cpu/cpu_state.h"
#include "machine/stop_reason.h"

namespace pellux {

class SymbolTable;

// What one instruction did: how its run ended, and the first exception the
// core raised while it ran (a fault, a TRAP, an interrupt taken), if any.
struct OneInstruction {
  RunResult result = RunResult::Completed;
  std::optional<unsigned> raised;
};

// What the stepping commands need of a machine.
class DebugTarget {
 public:
  virtual ~DebugTarget() = default;
  virtual CpuState& cpu() = 0;
  // What the processor would read at the address, with no side effect.
  virtual std::uint8_t Peek(std::uint32_t address) const = 0;
  // One instruction, breakpoints not consulted; a fault the machine answers
  // itself (such as a protected write) is settled before it returns.
  virtual OneInstruction RunOne() = 0;
  // The machine's breakpoints: Run to Cursor and Step Over plant their own
  // here while they run, and take them back before they answer.
  virtual BreakpointSet& breakpoints() = 0;
};

// Why the machine stands where the Debug dialog shows it: the commands
// answer Step, StepOver, StepOut, Cursor, Breakpoint, Exception (a fault,
// its handler entered), Asleep or Limit; the window and gdb the others.
struct DebugStop {
  StopReason kind = StopReason::UserBreak;
  std::uint32_t pc = 0;            // where the processor stands now
  std::uint32_t faultAddress = 0;  // Exception: the faulting instruction
  unsigned vector = 0;             // Exception: the vector taken
  std::uint64_t instructions = 0;  // run by the command
};

// The line the Debug dialog shows: what stopped the machine and where,
// with symbol names where the table has them.
std::string DescribeStop(const DebugStop& reason, const SymbolTable& symbols);

// The most instructions one command runs before it gives up.
inline constexpr std::uint64_t kStepBudget = 4'000'000;

// One instruction.
DebugStop StepInto(DebugTarget& target);

// Over a BSR, JSR or TRAP: runs until the next instruction's address (a
// breakpoint of its own) is reached again on the same stack at the same
// depth or above (a recursive call reaching it deeper runs on). Any other
// instruction is one step.
DebugStop StepOver(DebugTarget& target, std::uint64_t budget = kStepBudget);

// Runs until the current routine returns: an RTS, RTR or RTE executed with
// the stack pointer at or above where it stood (the routine's own frame, not
// a deeper call's) and in the same state.
DebugStop StepOut(DebugTarget& target, std::uint64_t budget = kStepBudget);

// Runs until the PC reaches the address (a breakpoint of its own).
DebugStop RunTo(DebugTarget& target, std::uint32_t address, std::uint64_t budget = kStepBudget);

// Before Go: when a breakpoint stands at the PC, runs that one instruction so
// that the machine runs on instead of stopping there again. Answers whether
// it ran one.
bool StepOffBreakpoint(DebugTarget& target);

}  // namespace pellux
