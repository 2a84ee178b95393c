// The calculator as the stepping commands see it.
#pragma once

#include "debugger/stepping.h"

namespace pellux {

class Calculator;

class CalculatorTarget : public DebugTarget {
 public:
  explicit CalculatorTarget(Calculator& calc) : calc_(calc) {}
  CpuState& cpu() override;
  std::uint8_t Peek(std::uint32_t address) const override;
  // A protected write is answered as a run slice answers it: interrupt level 7.
  OneInstruction RunOne() override;
  BreakpointSet& breakpoints() override;

 private:
  Calculator& calc_;
};

}  // namespace pellux
