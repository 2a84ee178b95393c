#include "debugger/calculator_target.h"

#include "cpu/core.h"
#include "cpu/exceptions.h"
#include "machine/calculator.h"
#include "machine/memory_bus.h"

namespace pellux {

CpuState& CalculatorTarget::cpu() { return calc_.cpu; }

std::uint8_t CalculatorTarget::Peek(std::uint32_t address) const { return PeekByte(calc_, address); }

RunResult CalculatorTarget::RunOne() {
  const RunResult result = RunInstructions(calc_, 1, nullptr);
  if (result == RunResult::ProtectViolation) RequestInterrupt(calc_, level::kProtect);
  // A step moves no time, but what it did at the link port takes effect.
  AdvanceLink(calc_, 0);
  return result;
}

const BreakpointSet& CalculatorTarget::breakpoints() const { return calc_.breakpoints; }

}  // namespace pellux
