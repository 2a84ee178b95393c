#include "debugger/stepping.h"

#include <array>
#include <cstdio>

#include "cpu/exceptions.h"
#include "debugger/disassembler.h"
#include "debugger/symbols.h"

namespace pellux {
namespace {

// The faults the commands stop on, named as the Debug dialog shows them.
// Line-A and line-F are left out: programs use them as system calls.
constexpr unsigned kFirstFault = kVectorAddressError, kLastFault = kVectorPrivilege;
constexpr std::array<const char*, kLastFault - kFirstFault + 1> kFaultNames = {
    "Address error",     "Illegal instruction", "Division by zero",
    "CHK out of bounds", "TRAPV overflow",      "Privilege violation",
};

constexpr std::uint16_t kRts = 0x4E75, kRtr = 0x4E77, kRte = 0x4E73;

std::uint16_t PeekWord(const DebugTarget& target, std::uint32_t address) {
  return static_cast<std::uint16_t>(target.Peek(address) << 8 | target.Peek(address + 1));
}

// A command's own breakpoint, in the machine's set for as long as the
// command runs; an address someone else asked for stays theirs.
class PlantedBreakpoint {
 public:
  PlantedBreakpoint(BreakpointSet& set, std::uint32_t address, BreakpointOwner owner)
      : set_(set), address_(address), owner_(owner) {
    set_.Add(address_, owner_);
  }
  ~PlantedBreakpoint() { set_.Remove(address_, owner_); }
  PlantedBreakpoint(const PlantedBreakpoint&) = delete;
  PlantedBreakpoint& operator=(const PlantedBreakpoint&) = delete;

 private:
  BreakpointSet& set_;
  std::uint32_t address_;
  BreakpointOwner owner_;
};

// A breakpoint the user or gdb set, which stops every command; the
// commands' own stop only the command that planted them.
bool StopsEveryCommand(const BreakpointSet& set, std::uint32_t address) {
  return set.Contains(address, BreakpointOwner::Dialog) || set.Contains(address, BreakpointOwner::Gdb);
}

// One instruction, and what it did beyond running: a fault raised, or the
// processor put to sleep. Answers true with `reason` filled when the command
// must stop.
bool RunChecked(DebugTarget& target, DebugStop& reason) {
  CpuState& cpu = target.cpu();
  const std::uint32_t at = cpu.pc;
  const OneInstruction ran = target.RunOne();
  ++reason.instructions;
  reason.pc = cpu.pc;
  if (ran.result == RunResult::Asleep) {
    reason.kind = StopReason::Asleep;
    return true;
  }
  if (!ran.raised || *ran.raised < kFirstFault || *ran.raised > kLastFault) return false;
  reason.kind = StopReason::Exception;
  reason.faultAddress = at;
  reason.vector = *ran.raised;
  return true;
}

// Runs until `reached` (tested before every instruction but the first)
// holds, a breakpoint stands at the PC, a fault or sleep stops it, or the
// budget is spent.
template <class Reached>
DebugStop RunUntil(DebugTarget& target, StopReason goal, std::uint64_t budget, Reached&& reached) {
  DebugStop reason{};
  CpuState& cpu = target.cpu();
  for (;;) {
    if (reason.instructions > 0) {
      reason.pc = cpu.pc;
      if (reached(cpu)) {
        reason.kind = goal;
        return reason;
      }
      if (StopsEveryCommand(target.breakpoints(), cpu.pc)) {
        reason.kind = StopReason::Breakpoint;
        return reason;
      }
    }
    if (reason.instructions >= budget) {
      reason.kind = StopReason::Limit;
      return reason;
    }
    if (RunChecked(target, reason)) return reason;
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
    case StopReason::Step:
      return "Step: at " + here;
    case StopReason::StepOver:
      return "Step Over: the call returned to " + here + count;
    case StopReason::StepOut:
      return "Step Out: returned to " + here + count;
    case StopReason::Cursor:
      return "Run to Cursor: reached " + here + count;
    case StopReason::Breakpoint:
      return "Breakpoint at " + here + count;
    case StopReason::Exception: {
      const bool named = reason.vector >= kFirstFault && reason.vector <= kLastFault;
      const char* name = named ? kFaultNames[reason.vector - kFirstFault] : "Exception";
      return std::string(name) + " at " + Place(reason.faultAddress, symbols) + " (vector " +
             std::to_string(reason.vector) + "): now at its handler " + here;
    }
    case StopReason::Asleep:
      return "The processor sleeps at " + here + " until an interrupt" + count + "; Go lets it run";
    case StopReason::Limit:
      return "Still running after " + std::to_string(reason.instructions) + " instructions: stopped at " + here;
    case StopReason::KeyPress:
      return "Key pressed (Break on keypress): at " + here;
    case StopReason::Watchpoint:
      return "Watchpoint met: at " + here;
    case StopReason::None:
    case StopReason::TimeUp:
    case StopReason::UserBreak:
      return "Stopped at " + here;
    case StopReason::Gdb:
      return "Stopped by gdb at " + here;
  }
  return here;
}

DebugStop StepInto(DebugTarget& target) {
  DebugStop reason{};
  if (!RunChecked(target, reason)) reason.kind = StopReason::Step;
  return reason;
}

DebugStop StepOver(DebugTarget& target, std::uint64_t budget) {
  const CpuState& cpu = target.cpu();
  const std::uint32_t length = CallLength(target, cpu.pc);
  if (length == 0) return StepInto(target);
  const PlantedBreakpoint next(target.breakpoints(), cpu.pc + length, BreakpointOwner::StepOver);
  const std::uint8_t supervisor = cpu.s;
  const std::uint32_t stack = cpu.a(7);
  const BreakpointSet& set = target.breakpoints();
  return RunUntil(target, StopReason::StepOver, budget, [&](const CpuState& now) {
    return set.Contains(now.pc, BreakpointOwner::StepOver) && now.s == supervisor && now.a(7) >= stack;
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
  return RunUntil(target, StopReason::StepOut, budget, [&](const CpuState& now) {
    returned = returnsNext;
    returnsNext = isReturn(now);
    return returned;
  });
}

DebugStop RunTo(DebugTarget& target, std::uint32_t address, std::uint64_t budget) {
  const PlantedBreakpoint cursor(target.breakpoints(), address, BreakpointOwner::RunToCursor);
  const BreakpointSet& set = target.breakpoints();
  return RunUntil(target, StopReason::Cursor, budget,
                  [&](const CpuState& now) { return set.Contains(now.pc, BreakpointOwner::RunToCursor); });
}

bool StepOffBreakpoint(DebugTarget& target) {
  if (!target.breakpoints().Contains(target.cpu().pc)) return false;
  target.RunOne();
  return true;
}

}  // namespace pellux
