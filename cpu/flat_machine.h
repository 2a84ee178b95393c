// A bare 68000 on 16 MB of plain RAM: the test bench for the core.
//
// Addresses are 24-bit and memory is big-endian, as on the calculator, but
// there is no ROM, no ports and no write protection. Odd word and long
// accesses are address faults exactly as on the calculator's bus.
#pragma once

#include <bit>
#include <cstdint>
#include <memory>

#include "cpu/always_inline.h"
#include "cpu/big_endian.h"
#include "cpu/core.h"
#include "cpu/cpu_state.h"

namespace pellux {

struct FlatMachine {
  static constexpr std::uint32_t kSize = 1u << 24;
  static constexpr std::uint32_t kAddressMask = kSize - 1;

  FlatMachine() : memory(new std::uint8_t[kSize]()) {}

  CpuState cpu{};
  std::unique_ptr<std::uint8_t[]> memory;
};

PELLUX_ALWAYS_INLINE std::uint32_t ReadByte(FlatMachine& m, std::uint32_t address) {
  return SignExtend8(m.memory[address & FlatMachine::kAddressMask]);
}

PELLUX_ALWAYS_INLINE std::uint32_t ReadWord(FlatMachine& m, std::uint32_t address) {
  if (address & 1) [[unlikely]] {
    m.cpu.Ask(RunState::AddressFault);
    return 1;
  }
  return SignExtend16(LoadBe16(&m.memory[address & FlatMachine::kAddressMask]));
}

PELLUX_ALWAYS_INLINE std::uint32_t ReadLong(FlatMachine& m, std::uint32_t address) {
  if (address & 1) [[unlikely]] {
    m.cpu.Ask(RunState::AddressFault);
    return 1;
  }
  const std::uint32_t a = address & FlatMachine::kAddressMask;
  if (a == FlatMachine::kAddressMask - 1) {  // the last word: the long wraps to address 0
    return LoadBe16(&m.memory[a]) << 16 | LoadBe16(&m.memory[0]);
  }
  return LoadBe32(&m.memory[a]);
}

PELLUX_ALWAYS_INLINE void WriteByte(FlatMachine& m, std::uint32_t address, std::uint32_t value) {
  m.memory[address & FlatMachine::kAddressMask] = static_cast<std::uint8_t>(value);
}

PELLUX_ALWAYS_INLINE void WriteWord(FlatMachine& m, std::uint32_t address, std::uint32_t value) {
  if (address & 1) [[unlikely]] {
    m.cpu.Ask(RunState::AddressFault);
    return;
  }
  StoreBe16(&m.memory[address & FlatMachine::kAddressMask], value);
}

PELLUX_ALWAYS_INLINE void WriteLong(FlatMachine& m, std::uint32_t address, std::uint32_t value) {
  if (address & 1) [[unlikely]] {
    m.cpu.Ask(RunState::AddressFault);
    return;
  }
  const std::uint32_t a = address & FlatMachine::kAddressMask;
  if (a == FlatMachine::kAddressMask - 1) {
    StoreBe16(&m.memory[a], value >> 16);
    StoreBe16(&m.memory[0], value);
    return;
  }
  StoreBe32(&m.memory[a], value);
}

// The instruction stream (found before the generic fetch of
// cpu/instruction_stream.h). A PC that is even and inside the 24 bits reads
// memory directly, with one test; any other (odd, or with high bits that the
// bus would mask off) takes the rest, which reads through ReadWord and
// ReadLong as any data read does.
namespace flat {
[[gnu::cold, gnu::noinline]] inline std::uint32_t FetchWordRest(FlatMachine& m) {
  const std::uint32_t word = ReadWord(m, m.cpu.pc);
  m.cpu.pc += 2;
  return word;
}

[[gnu::cold, gnu::noinline]] inline std::uint32_t FetchLongRest(FlatMachine& m) {
  const std::uint32_t value = ReadLong(m, m.cpu.pc);
  m.cpu.pc += 4;
  return value;
}
}  // namespace flat

// Whether the word at the PC is read without the rest: otherwise the
// threaded chain leaves the fetch to the run loop.
PELLUX_ALWAYS_INLINE bool FetchIsQuick(const FlatMachine& m) {
  return (m.cpu.pc & (~FlatMachine::kAddressMask | 1)) == 0;
}

PELLUX_ALWAYS_INLINE std::uint32_t OpcodeAt(FlatMachine& m, std::uint32_t pc) {
  return LoadBe16(&m.memory[pc]);
}

PELLUX_ALWAYS_INLINE std::uint32_t FetchWord(FlatMachine& m) {
  const std::uint32_t pc = m.cpu.pc;
  if (FetchIsQuick(m)) [[likely]] {
    m.cpu.pc = pc + 2;
    return SignExtend16(LoadBe16(&m.memory[pc]));
  }
  return flat::FetchWordRest(m);
}

PELLUX_ALWAYS_INLINE std::uint32_t FetchLong(FlatMachine& m) {
  const std::uint32_t pc = m.cpu.pc;
  // Even and at most kSize - 4 (bit 0 rotated to the top): the long does
  // not wrap to address 0.
  if (std::rotr(pc, 1) <= (FlatMachine::kSize - 4) / 2) [[likely]] {
    m.cpu.pc = pc + 4;
    return LoadBe32(&m.memory[pc]);
  }
  return flat::FetchLongRest(m);
}

// The core on this machine is compiled once, in cpu/flat_core.cpp: a file
// that includes the run loop must not instantiate all its handlers again.
extern template void Reset<FlatMachine>(FlatMachine&);
extern template RunResult RunInstructions<FlatMachine>(FlatMachine&, std::uint32_t, const BreakpointSet*);
extern template RunState StepInstruction<FlatMachine>(FlatMachine&);

}  // namespace pellux
