// Why the program stopped: one set of words for the machine's runs, the
// driver's passes, the debugger's commands, the Debug dialog, gdb's stop
// replies and the headless runner.
//
// Which name says what:
// - RunState and RunResult (cpu/cpu_state.h) are the core's own: what the
//   instruction asks of the run loop, and why RunInstructions returned. They
//   stay inside the machine; StopOf turns a run's result into a StopReason
//   where the machine hands it on.
// - StopReason (here): why a run, a command or a session stopped.
// - What runs next is another question, with two answers that mean
//   different things: Driver::Mode (machine/driver.h), whether the processor
//   runs or sleeps until an interrupt; and gdb::Resume (debugger/gdb_stub.h),
//   what gdb lets the machine do, asleep or awake.
#pragma once

#include <cstdint>

#include "cpu/cpu_state.h"
#include "machine/watchpoints.h"

namespace pellux {

enum class StopReason : std::uint8_t {
  // What a run slice, a burst, an idle catch-up or the driver's pass answers.
  None,        // nothing stopped it: the processor runs on
  Asleep,      // the processor stopped itself (STOP, the low-power port) until an interrupt
  Breakpoint,  // the PC reached a breakpoint; the instruction there has not run
  Watchpoint,  // an access met a data watchpoint (the machine's watch says which)
  // The core raised an exception the debugger stops on. In a run: one gdb
  // catches, before it is taken (the watch says which). In a command: a
  // fault, its handler entered.
  Exception,
  // What the debugger's commands end with.
  Step,      // one instruction ran
  StepOver,  // the call returned to the next instruction
  StepOut,   // the routine returned
  Cursor,    // the address asked for was reached
  Limit,     // the command ran its whole budget
  // Stops asked from outside the program.
  KeyPress,   // a key was pressed with Break on keypress
  UserBreak,  // F11 or the menu
  Gdb,        // gdb holds the machine: its breakpoint, step, Ctrl-C, or F11 while it was attached
  TimeUp,     // the time given to a headless run ran out
};

// The stops of a run that a debugger must hear of.
constexpr bool IsDebugStop(StopReason why) {
  return why == StopReason::Breakpoint || why == StopReason::Watchpoint || why == StopReason::Exception;
}

// A run's result as the machine hands it on: a breakpoint hit is a watch
// stop when the watching core set one.
inline StopReason StopOf(RunResult result, const DebugWatch& watch) {
  if (result == RunResult::Asleep) return StopReason::Asleep;
  if (result != RunResult::Breakpoint) return StopReason::None;
  if (!watch.stop) return StopReason::Breakpoint;
  return watch.stop->cause == WatchStop::Cause::Exception ? StopReason::Exception : StopReason::Watchpoint;
}

}  // namespace pellux
