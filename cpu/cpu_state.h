// The 68000 register file and the run loop's small vocabulary.
#pragma once

#include <cstdint>

namespace pellux {

// What the current instruction asks of the run loop once it has finished.
enum class RunState : std::uint8_t {
  Running = 0,
  IllegalOp = 1,     // a refused addressing mode: back to the opcode, vector 4
  AddressFault = 2,  // an odd word or long access: vector 3 after the instruction
  StopRequest = 3,   // STOP, or the low-power port: end the run
  ProtectFault = 4,  // a write into protected low RAM: end the run
  DeviceRequest = 5,  // a device must act before the next instruction: end the run
};

// What RunInstructions answers its caller.
enum class RunResult : std::uint32_t {
  Completed = 0,
  Stopped = 1,
  ProtectViolation = 2,
  BreakpointHit = 3,
  DeviceRequest = 4,  // ended after an instruction that a device must answer
};

struct CpuState {
  // The opcode word of the instruction being executed; its fields are split
  // on demand, which costs less than storing them apart on every instruction.
  std::uint16_t opcode;

  // Condition flags and state bits, each a byte holding exactly 0 or 1.
  std::uint8_t c, v, z, n, x;
  std::uint8_t s, t;
  // Set when SetSR turns T on, so that the instruction that did it is not traced.
  std::uint8_t traceJustSet;

  // D0-D7 then A0-A7; A7 is the active stack pointer. A brief extension word's
  // register number 0..15 indexes this array directly.
  std::uint32_t regs[16];
  // The inactive stack pointer: USP while s = 1, SSP while s = 0.
  std::uint32_t otherSp;
  std::uint32_t pc;
  // Address of the current opcode word, where refused and privileged opcodes return.
  std::uint32_t opPc;

  RunState runState;
  std::uint8_t intMask;      // 0..7
  std::uint8_t pendingInts;  // bit n: level n was requested while masked

  // Instructions executed by RunInstructions since reset (faulting ones
  // included), for the tools' statistics.
  std::uint64_t instructionCount;

  std::uint32_t& d(unsigned n) { return regs[n]; }
  std::uint32_t& a(unsigned n) { return regs[8 + n]; }
  std::uint32_t d(unsigned n) const { return regs[n]; }
  std::uint32_t a(unsigned n) const { return regs[8 + n]; }

  unsigned opReg() const { return opcode & 7u; }           // bits 2-0
  unsigned opMode() const { return (opcode >> 3) & 7u; }   // bits 5-3
  unsigned opReg2() const { return (opcode >> 9) & 7u; }   // bits 11-9
  unsigned opLow() const { return opcode & 0xFFu; }        // bits 7-0
};

}  // namespace pellux
