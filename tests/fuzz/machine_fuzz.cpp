#include "tests/fuzz/machine_fuzz.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cpu/core.h"
#include "cpu/exceptions.h"
#include "machine/calculator.h"
#include "machine/driver.h"
#include "machine/memory_bus.h"

namespace pellux::fuzz {

namespace {

constexpr std::uint32_t kFlashBase = 0x400000;
constexpr std::uint32_t kBurstInstructions = 300;
constexpr std::uint32_t kMostIdleTicks = 40;
constexpr std::uint32_t kReleaseBursts = 10;

// Key codes 0..79 name matrix keys; 128 is ON.
unsigned KeyCode(unsigned argument) { return argument == 31 ? kOnKeyCode : argument * 79 / 30; }

// The processor state every instruction must leave behind it.
std::string CheckState(const CpuState& cpu) {
  const std::array<std::pair<const char*, unsigned>, 8> bits = {{{"c", cpu.FlagC()},
                                                                 {"v", cpu.FlagV()},
                                                                 {"z", cpu.FlagZ()},
                                                                 {"n", cpu.FlagN()},
                                                                 {"x", cpu.FlagX()},
                                                                 {"s", cpu.s},
                                                                 {"t", cpu.t},
                                                                 {"traceJustSet", cpu.traceJustSet}}};
  for (const auto& [name, value] : bits) {
    if (value > 1) return std::string(name) + " holds " + std::to_string(value);
  }
  if (cpu.intMask > 7) return "intMask " + std::to_string(cpu.intMask);
  if (cpu.pendingInts & 1) return "level 0 pending";
  // An exception entered between instructions (trace, interrupt) whose frame
  // faults or hits a port leaves its state for the next instruction to
  // settle; a refused mode never outlives its instruction.
  if (cpu.runState == RunState::IllegalOp || cpu.runState > RunState::DeviceRequest) {
    return "runState left at " + std::to_string(static_cast<int>(cpu.runState));
  }
  return {};
}

// The far end of the cable answers with what the machine sent, holds the
// lines the machine holds and pulses a reset back, so that any program
// drives the whole link port.
class Loopback : public LinkPeer {
 public:
  void Exchange(Calculator& m) override {
    if (TakeLinkReset(m)) ResetLinkFromPeer(m);
    SetLinkPeerLines(m, LinkLinesHeld(m));
    while (LinkRoom(m) > 0) {
      const std::optional<std::uint8_t> byte = LinkTake(m);
      if (!byte) break;
      LinkPut(m, *byte);
    }
  }
};

class Session {
 public:
  Session() : calc(std::span<const std::uint8_t>{}), driver(calc, clock) { driver.Plug(&loopback); }

  // Runs up to count instructions of the budget, answering the run's result
  // as the machine's callers do.
  std::string Run(std::uint32_t count) {
    count = std::min(count, budget);
    if (count == 0) return {};
    const RunResult result = RunInstructions(calc, count, ActiveBreakpoints(calc.breakpoints));
    switch (result) {
      case RunResult::Completed:
      case RunResult::Asleep:
        break;
      case RunResult::ProtectViolation:
        RequestInterrupt(calc, 7);
        break;
      case RunResult::DeviceRequest:
        AdvanceLink(calc, 0);
        break;
      case RunResult::Breakpoint:
        if (!calc.breakpoints.Contains(calc.cpu.pc)) return "a breakpoint hit away from any breakpoint";
        // Step over it as the debugger's Step does.
        RunInstructions(calc, 1, nullptr);
        break;
    }
    // A budget is charged in full: a stop or a breakpoint ends a slice early.
    budget -= count;
    return CheckState(calc.cpu);
  }

  // The machine's own paced operations, charged at the most they may run.
  // A breakpoint they report is stepped over as the debugger's Step would.
  template <class Operation>
  std::string Paced(std::uint32_t mostInstructions, Operation operation) {
    if (budget < mostInstructions) return Run(budget);
    budget -= mostInstructions;
    operation();
    if (calc.breakpoints.Contains(calc.cpu.pc)) RunInstructions(calc, 1, nullptr);
    return CheckState(calc.cpu);
  }

  ManualClock clock;
  Calculator calc;
  Loopback loopback;
  Driver driver;
  std::uint32_t budget = kInstructionBudget;
};

}  // namespace

std::string RunCalculatorOnBytes(const std::uint8_t* data, std::size_t size) {
  const std::uint8_t start = size > 0 ? data[0] : 0;
  const std::size_t scriptLength = size > 1 ? std::min<std::size_t>(data[1], size - 2) : 0;
  const std::uint8_t* script = data + std::min<std::size_t>(size, 2);
  const std::uint8_t* image = script + scriptLength;
  const std::size_t imageSize = size - std::min(size, 2 + scriptLength);

  Session session;
  Calculator& calc = session.calc;
  std::memcpy(calc.rom.data(), image, std::min<std::size_t>(imageSize, kRomSize));
  std::memcpy(calc.ram.data(), image, std::min<std::size_t>(imageSize, kRamSize));
  Reset(calc);
  switch (start & 3) {
    case 1:
      calc.cpu.pc = kFlashBase;
      break;
    case 2:
      calc.cpu.pc = 0x400;
      break;
    case 3:
      calc.cpu.pc = 0;
      break;
    default:
      break;
  }
  if (start & 4) SetSR(calc, 0);

  for (std::size_t i = 0; i < scriptLength && session.budget > 0; ++i) {
    const unsigned kind = script[i] >> 5, argument = script[i] & 31;
    std::string trouble;
    switch (kind) {
      case 0:
      case 1:
        trouble = session.Run((argument + 1) * 64);
        break;
      case 2:
        // A pass of the programs' main loop: a slice, or an idle catch-up.
        session.clock.AdvanceTicks(argument + 1);
        trouble = session.Paced(kMostIdleTicks * kBurstInstructions, [&] { return session.driver.Pass(); });
        break;
      case 3:
        session.clock.AdvanceTicks(argument + 1);
        trouble = session.Paced(kMostIdleTicks * kBurstInstructions, [&] { return calc.IdleCatchUp(session.clock); });
        break;
      case 4:
        RequestInterrupt(calc, argument & 7);
        trouble = CheckState(calc.cpu);
        break;
      case 5:
        calc.breakpoints.Toggle(calc.cpu.pc + 2 * argument);
        break;
      case 6:
        session.driver.KeyDown(KeyCode(argument));
        trouble = CheckState(calc.cpu);
        break;
      default:
        trouble = session.Paced(kReleaseBursts * kBurstInstructions, [&] {
          return argument == 31 ? session.driver.ReleaseAllKeys() : session.driver.KeyUp(KeyCode(argument));
        });
        break;
    }
    if (!trouble.empty()) return trouble;
  }
  if (std::string trouble = session.Run(session.budget); !trouble.empty()) return trouble;

  std::array<std::uint8_t, kLcdFrameBytes> frame;
  calc.GetLcdFrame(frame.data());
  calc.RefreshDisplay();
  return {};
}

}  // namespace pellux::fuzz
