#include "debugger/stepping.h"

#include <array>
#include <cstdio>
#include <span>
#include <string_view>

#include "cpu/exceptions.h"
#include "debugger/disassembler.h"
#include "debugger/symbols.h"

namespace pellux {
namespace {

// The faults the commands stop on, with their names. Line-A and line-F are
// left out: programs use them as system calls.
struct FaultVector {
  unsigned vector;
  const char* name;
};
constexpr std::array<FaultVector, 6> kFaults = {{
    {3, "Address error"},
    {4, "Illegal instruction"},
    {5, "Division by zero"},
    {6, "CHK out of bounds"},
    {7, "TRAPV overflow"},
    {8, "Privilege violation"},
}};
// An exception frame: the status register and the PC.
constexpr std::uint32_t kFrameBytes = 6;

constexpr std::uint16_t kRts = 0x4E75, kRtr = 0x4E77, kRte = 0x4E73;

std::uint32_t PeekLong(const DebugTarget& target, std::uint32_t address) {
  std::uint32_t value = 0;
  for (std::uint32_t i = 0; i < 4; ++i) value = value << 8 | target.Peek(address + i);
  return value;
}

std::uint16_t PeekWord(const DebugTarget& target, std::uint32_t address) {
  return static_cast<std::uint16_t>(target.Peek(address) << 8 | target.Peek(address + 1));
}

// The handlers of the faults, read once per command.
std::array<std::uint32_t, kFaults.size()> FaultHandlers(const DebugTarget& target) {
  std::array<std::uint32_t, kFaults.size()> handlers{};
  for (std::size_t i = 0; i < kFaults.size(); ++i) handlers[i] = PeekLong(target, kFaults[i].vector * 4);
  return handlers;
}

// Which of several faults sharing one handler the instruction at `at` took:
// the stacked PC tells those taken at the opcode (illegal, privileged) from
// those taken after it, and the instruction tells the rest apart.
unsigned TellFault(const DebugTarget& target, const CpuState& cpu, std::uint32_t at,
                   std::span<const unsigned> candidates) {
  const bool atOpcode = PeekLong(target, cpu.a(7) + 2) == at;
  const std::uint16_t opcode = PeekWord(target, at);
  std::array<std::uint8_t, 10> code{};
  for (std::uint32_t i = 0; i < code.size(); ++i) code[i] = target.Peek(at + i);
  char mnemonic[kMnemonicCapacity];
  char operands[64];
  Disassemble(code, at, mnemonic, operands);
  const std::string_view name = mnemonic;
  unsigned likely;
  if (atOpcode) {
    likely = name == "?" || name == "illegal" ? 4 : 8;
  } else if (name.starts_with("div")) {
    likely = 5;
  } else if (name.starts_with("chk")) {
    likely = 6;
  } else if (opcode == 0x4E76) {  // trapv
    likely = 7;
  } else {
    likely = 3;
  }
  for (const unsigned vector : candidates) {
    if (vector == likely) return vector;
  }
  return candidates.front();
}

// One instruction, and what it did beyond running: a fault taken, or the
// processor put to sleep. Answers true with `reason` filled when the command
// must stop.
bool RunChecked(DebugTarget& target, const std::array<std::uint32_t, kFaults.size()>& handlers,
                DebugStop& reason) {
  CpuState& cpu = target.cpu();
  const std::uint32_t at = cpu.pc;
  const std::uint32_t stackBefore = ReadSystemRegister(cpu, SystemRegister::Ssp);
  const RunResult result = target.RunOne();
  ++reason.instructions;
  reason.pc = cpu.pc;
  if (result == RunResult::Stopped) {
    reason.kind = StopKind::Sleeping;
    return true;
  }
  if (!cpu.s || cpu.a(7) != stackBefore - kFrameBytes) return false;
  std::array<unsigned, kFaults.size()> candidates{};
  std::size_t found = 0;
  for (std::size_t i = 0; i < kFaults.size(); ++i) {
    if (cpu.pc == handlers[i]) candidates[found++] = kFaults[i].vector;
  }
  // TRAP, line A and line F enter their handlers on purpose, whatever
  // handler they share with a fault.
  const std::uint16_t opcode = PeekWord(target, at);
  const bool systemCall = (opcode & 0xFFF0) == 0x4E40 || (opcode & 0xF000) == 0xA000 || (opcode & 0xF000) == 0xF000;
  if (found == 0 || systemCall) return false;
  reason.kind = StopKind::Exception;
  reason.faultAddress = at;
  reason.vector = found == 1 ? candidates[0] : TellFault(target, cpu, at, {candidates.data(), found});
  return true;
}

// Runs until `reached` (tested before every instruction but the first)
// holds, a breakpoint stands at the PC, a fault or sleep stops it, or the
// budget is spent.
template <class Reached>
DebugStop RunUntil(DebugTarget& target, StopKind goal, std::uint64_t budget, Reached&& reached) {
  const auto handlers = FaultHandlers(target);
  DebugStop reason{};
  CpuState& cpu = target.cpu();
  for (;;) {
    if (reason.instructions > 0) {
      reason.pc = cpu.pc;
      if (reached(cpu)) {
        reason.kind = goal;
        return reason;
      }
      if (target.breakpoints().Contains(cpu.pc)) {
        reason.kind = StopKind::Breakpoint;
        return reason;
      }
    }
    if (reason.instructions >= budget) {
      reason.kind = StopKind::Limit;
      return reason;
    }
    if (RunChecked(target, handlers, reason)) return reason;
  }
}

// The instruction at the PC when it is a call that returns to the next one
// (BSR, JSR, TRAP): its length in bytes, else 0.
std::uint32_t CallLength(const DebugTarget& target, std::uint32_t pc) {
  const std::uint16_t opcode = PeekWord(target, pc);
  const bool bsr = (opcode & 0xFF00) == 0x6100;
  const bool jsr = (opcode & 0xFFC0) == 0x4E80;
  const bool trap = (opcode & 0xFFF0) == 0x4E40;
  if (!bsr && !jsr && !trap) return 0;
  std::array<std::uint8_t, 10> code{};
  for (std::uint32_t i = 0; i < code.size(); ++i) code[i] = target.Peek(pc + i);
  char mnemonic[kMnemonicCapacity];
  char operands[64];
  const std::uint32_t length = Disassemble(code, pc, mnemonic, operands);
  return mnemonic[0] == '?' ? 0 : length;
}

std::string Hex6(std::uint32_t address) {
  char text[12];
  std::snprintf(text, sizeof text, "%.6x", static_cast<unsigned>(address & 0xFFFFFF));
  return text;
}

// "401234 (main+0x12)" or "401234".
std::string Place(std::uint32_t address, const SymbolTable& symbols) {
  const std::string name = symbols.Describe(address & 0xFFFFFF);
  return name.empty() ? Hex6(address) : Hex6(address) + " (" + name + ")";
}

}  // namespace

std::string DescribeStop(const DebugStop& reason, const SymbolTable& symbols) {
  const std::string here = Place(reason.pc, symbols);
  const std::string count =
      reason.instructions > 1 ? " after " + std::to_string(reason.instructions) + " instructions" : "";
  switch (reason.kind) {
    case StopKind::Step:
      return "Step: at " + here;
    case StopKind::StepOver:
      return "Step Over: the call returned to " + here + count;
    case StopKind::StepOut:
      return "Step Out: returned to " + here + count;
    case StopKind::Cursor:
      return "Run to Cursor: reached " + here + count;
    case StopKind::Breakpoint:
      return "Breakpoint at " + here + count;
    case StopKind::Exception: {
      const char* name = "Exception";
      for (const FaultVector& fault : kFaults) {
        if (fault.vector == reason.vector) name = fault.name;
      }
      return std::string(name) + " at " + Place(reason.faultAddress, symbols) + " (vector " +
             std::to_string(reason.vector) + "): now at its handler " + here;
    }
    case StopKind::Sleeping:
      return "The processor sleeps at " + here + " until an interrupt" + count + "; Go lets it run";
    case StopKind::Limit:
      return "Still running after " + std::to_string(reason.instructions) + " instructions: stopped at " + here;
    case StopKind::KeyPress:
      return "Key pressed (Break on keypress): at " + here;
    case StopKind::UserBreak:
      return "Stopped at " + here;
    case StopKind::Gdb:
      return "Stopped by gdb at " + here;
  }
  return here;
}

DebugStop StepInto(DebugTarget& target) {
  DebugStop reason{};
  if (!RunChecked(target, FaultHandlers(target), reason)) reason.kind = StopKind::Step;
  return reason;
}

DebugStop StepOver(DebugTarget& target, std::uint64_t budget) {
  const CpuState& cpu = target.cpu();
  const std::uint32_t length = CallLength(target, cpu.pc);
  if (length == 0) return StepInto(target);
  const std::uint32_t next = cpu.pc + length;
  const std::uint8_t supervisor = cpu.s;
  const std::uint32_t stack = cpu.a(7);
  return RunUntil(target, StopKind::StepOver, budget, [&](const CpuState& now) {
    return now.pc == next && now.s == supervisor && now.a(7) >= stack;
  });
}

DebugStop StepOut(DebugTarget& target, std::uint64_t budget) {
  const CpuState& cpu = target.cpu();
  const std::uint8_t supervisor = cpu.s;
  const std::uint32_t stack = cpu.a(7);
  // Stops once the return has run: the test before the next instruction
  // sees the flag set by the one before.
  bool returned = false;
  auto isReturn = [&](const CpuState& now) {
    const std::uint16_t opcode = PeekWord(target, now.pc);
    return (opcode == kRts || opcode == kRtr || opcode == kRte) && now.s == supervisor && now.a(7) >= stack;
  };
  // The routine may stand on its return already.
  bool returnsNext = isReturn(cpu);
  return RunUntil(target, StopKind::StepOut, budget, [&](const CpuState& now) {
    returned = returnsNext;
    returnsNext = isReturn(now);
    return returned;
  });
}

DebugStop RunTo(DebugTarget& target, std::uint32_t address, std::uint64_t budget) {
  return RunUntil(target, StopKind::Cursor, budget, [address](const CpuState& now) { return now.pc == address; });
}

bool StepOffBreakpoint(DebugTarget& target) {
  if (!target.breakpoints().Contains(target.cpu().pc)) return false;
  target.RunOne();
  return true;
}

}  // namespace pellux
