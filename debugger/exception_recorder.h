// One instruction on a machine seen through a thin wrapper that hears the
// exceptions the core raises, so that the debugger knows why an instruction
// left its path instead of guessing it from where the PC landed.
#pragma once

#include <cstdint>
#include <optional>

#include "cpu/run_loop.h"
#include "debugger/stepping.h"

namespace pellux {

// The machine's own bus, unchanged; the core calls ExceptionRaised before it
// stacks each frame.
template <class M>
struct ExceptionRecorder {
  CpuState& cpu;
  M& machine;
  std::optional<unsigned> raised;

  void ExceptionRaised(unsigned vector) {
    if (!raised) raised = vector;
  }
};

template <class M>
std::uint32_t ReadByte(ExceptionRecorder<M>& m, std::uint32_t address) {
  return ReadByte(m.machine, address);
}
template <class M>
std::uint32_t ReadWord(ExceptionRecorder<M>& m, std::uint32_t address) {
  return ReadWord(m.machine, address);
}
template <class M>
std::uint32_t ReadLong(ExceptionRecorder<M>& m, std::uint32_t address) {
  return ReadLong(m.machine, address);
}
template <class M>
void WriteByte(ExceptionRecorder<M>& m, std::uint32_t address, std::uint32_t value) {
  WriteByte(m.machine, address, value);
}
template <class M>
void WriteWord(ExceptionRecorder<M>& m, std::uint32_t address, std::uint32_t value) {
  WriteWord(m.machine, address, value);
}
template <class M>
void WriteLong(ExceptionRecorder<M>& m, std::uint32_t address, std::uint32_t value) {
  WriteLong(m.machine, address, value);
}

// One instruction, breakpoints not consulted, and the first exception it raised.
template <class M>
OneInstruction RunOneRecorded(M& m) {
  ExceptionRecorder<M> recorder{m.cpu, m, std::nullopt};
  const RunResult result = RunInstructions(recorder, 1, nullptr);
  return {result, recorder.raised};
}

}  // namespace pellux
