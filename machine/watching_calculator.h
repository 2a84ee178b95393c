// The calculator seen through a machine that hears its own bus: every data
// access can be checked against the watchpoints and every exception against
// the caught vectors, then passed on to the calculator unchanged. The core on
// it is machine/watched_core.cpp; its handlers are compiled in the four
// watched_core_*.cpp files beside it.
#pragma once

#include <cstdint>
#include <optional>

#include "cpu/breakpoint_set.h"
#include "cpu/cpu_state.h"
#include "machine/calculator.h"
#include "machine/memory_bus.h"

namespace pellux {

struct WatchingCalculator {
  CpuState& cpu;
  Calculator& calc;
  // The watch checked, or null when the run only listens for exceptions.
  DebugWatch* watch;
  // The first exception vector the instruction raised, caught or not.
  std::optional<unsigned> raised;
  // The exception vector the instruction raised that the debugger catches.
  std::optional<unsigned> caught;

  // Called by RaiseException before the frame is stacked.
  void ExceptionRaised(unsigned vector) {
    if (!raised) raised = vector;
    if (!watch || vector >= 64 || !(watch->caughtVectors >> vector & 1) || caught) return;
    if (watch->passVector == vector) return;
    caught = vector;
  }

  // Stops on the first watchpoint an access meets. The instruction stream
  // (reads at the PC) is not data, and an odd word or long access faults
  // without touching memory.
  void Check(std::uint32_t address, unsigned size, bool write) {
    if (!watch || watch->stop) return;
    if (!write && address == cpu.pc) return;
    if (size > 1 && (address & 1)) return;
    const std::uint32_t first = address & bus::kAddressMask;
    for (const Watchpoint& point : watch->watchpoints) {
      if (!(static_cast<unsigned>(point.kind) & (write ? 1u : 2u))) continue;
      const std::uint32_t start = point.address & bus::kAddressMask;
      // Overlap of [first, first + size) with [start, start + length).
      const std::uint32_t offset = first - start;
      if (offset < point.length || start - first < size) {
        watch->stop = WatchStop{WatchStop::Cause::Watchpoint, point,
                                offset < point.length ? address : point.address, 0};
        return;
      }
    }
  }
};

// The instruction stream is not data: it takes the calculator's own fetch.
inline std::uint32_t FetchWord(WatchingCalculator& m) { return FetchWord(m.calc); }
inline std::uint32_t FetchLong(WatchingCalculator& m) { return FetchLong(m.calc); }

inline std::uint32_t ReadByte(WatchingCalculator& m, std::uint32_t address) {
  m.Check(address, 1, false);
  return ReadByte(m.calc, address);
}
inline std::uint32_t ReadWord(WatchingCalculator& m, std::uint32_t address) {
  m.Check(address, 2, false);
  return ReadWord(m.calc, address);
}
inline std::uint32_t ReadLong(WatchingCalculator& m, std::uint32_t address) {
  m.Check(address, 4, false);
  return ReadLong(m.calc, address);
}
inline void WriteByte(WatchingCalculator& m, std::uint32_t address, std::uint32_t value) {
  m.Check(address, 1, true);
  WriteByte(m.calc, address, value);
}
inline void WriteWord(WatchingCalculator& m, std::uint32_t address, std::uint32_t value) {
  m.Check(address, 2, true);
  WriteWord(m.calc, address, value);
}
inline void WriteLong(WatchingCalculator& m, std::uint32_t address, std::uint32_t value) {
  m.Check(address, 4, true);
  WriteLong(m.calc, address, value);
}

}  // namespace pellux
