#include "debugger/calculator_target.h"

#include "cpu/exceptions.h"
#include "machine/calculator.h"
#include "machine/memory_bus.h"
#include "machine/watched_core.h"

namespace pellux {

CpuState& CalculatorTarget::cpu() { return calc_.cpu; }

std::uint8_t CalculatorTarget::Peek(std::uint32_t address) const { return PeekByte(calc_, address); }

OneInstruction CalculatorTarget::RunOne() {
  OneInstruction result;
  result.result = RunOneHearingExceptions(calc_, result.raised);
  if (result.result == RunResult::ProtectViolation) RequestInterrupt(calc_, level::kProtect);
  // A step moves no time, but what it did at the link port takes effect.
  AdvanceLink(calc_, 0);
  return result;
}

BreakpointSet& CalculatorTarget::breakpoints() { return calc_.breakpoints; }

}  // namespace pellux
