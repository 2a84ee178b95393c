#include "debugger/calculator_target.h"

#include "cpu/core.h"
#include "cpu/exceptions.h"
#include "machine/calculator.h"
#include "machine/memory_bus.h"

namespace pellux {

namespace {

// Until the machine offers its own side-effect-free read: RAM, the flash
// image, ports as stored bytes.
std::uint8_t PeekImageByte(const Calculator& calc, std::uint32_t address) {
  const std::uint32_t a = address & bus::kAddressMask;
  if (a < bus::kEmptyStart) return calc.ram[a & bus::kRamMask];
  if (a < bus::kFlashStart) return 0;
  if (a < bus::kPortStart) return calc.flashState == FlashState::StatusRead ? 0xFF : calc.rom[a & bus::kFlashMask];
  return calc.ports[a % kPortCount];
}

}  // namespace

CpuState& CalculatorTarget::cpu() { return calc_.cpu; }

std::uint8_t CalculatorTarget::Peek(std::uint32_t address) const { return PeekImageByte(calc_, address); }

RunResult CalculatorTarget::RunOne() {
  const RunResult result = RunInstructions(calc_, 1, nullptr);
  if (result == RunResult::ProtectViolation) RequestInterrupt(calc_, level::kProtect);
  return result;
}

const BreakpointSet& CalculatorTarget::breakpoints() const { return calc_.breakpoints; }

}  // namespace pellux
