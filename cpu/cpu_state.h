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
  Asleep = 1,  // STOP or the low-power port: the processor waits for an interrupt
  ProtectViolation = 2,
  Breakpoint = 3,  // the PC reached a breakpoint, or the watching core stopped the run
  DeviceRequest = 4,  // ended after an instruction that a device must answer
};

// The N bit of CpuState::nz.
inline constexpr std::uint64_t kNzSign = std::uint64_t{1} << 63;

struct CpuState {
  // The opcode word of the instruction being executed; its fields are split
  // on demand, which costs less than storing them apart on every instruction.
  std::uint16_t opcode;

  // Carry, overflow and extend, and the state bits: each a byte holding
  // exactly 0 or 1.
  std::uint8_t c, v, x;
  std::uint8_t s, t;
  // What the instruction asks of the run loop. Set it with Ask, which also
  // ends the chain of instructions running without the loop.
  RunState runState;

  // N and Z in one word, so that an instruction sets both by storing its
  // result sign-extended instead of testing it: Z is its low 32 bits being
  // 0, N its top bit. Many words read as the same two flags; SetFlagsNZ
  // makes any pair, both set included, which no stored result gives. A
  // fresh state reads N = Z = 0.
  std::uint64_t nz = 1;

  // D0-D7 then A0-A7; A7 is the active stack pointer. A brief extension word's
  // register number 0..15 indexes this array directly.
  std::uint32_t regs[16];
  // Address of the current opcode word, where refused and privileged opcodes
  // return. Not next to pc: the compiler would pack the two stores of every
  // opcode fetch into one vector store, which costs more than two plain ones.
  std::uint32_t opPc;
  // The inactive stack pointer: USP while s = 1, SSP while s = 0.
  std::uint32_t otherSp;
  std::uint32_t pc;

  // Set when SetSR turns T on, so that the instruction that did it is not traced.
  std::uint8_t traceJustSet;
  std::uint8_t intMask;      // 0..7
  std::uint8_t pendingInts;  // bit n: level n was requested while masked

  // Instructions executed by RunInstructions since reset (faulting ones
  // included), for the tools' statistics.
  std::uint64_t instructionCount;

  // The chain of instructions running without the loop (cpu/threaded.h):
  // how many it may still run after the current one, in the low bits, and
  // the top two bits set when something asked for the loop. Per run, never
  // saved.
  std::uint32_t chainLeft;
  static constexpr std::uint32_t kChainEnded = 0xC0000000;

  // Ends the chain after the current instruction: the count reads as
  // negative from now on, even once the handler has taken the current
  // instruction off it, so that its one test stops the chain; the low bits
  // still say how many are left. One OR into memory, whatever needs the
  // loop after an instruction (a fault, a stop, a device request, the trace
  // flag turned on) and however often.
  void EndChain() {
    chainLeft |= kChainEnded;
#if defined(__GNUC__) || defined(__clang__)
    // Stored here, on the rare path: otherwise the compiler carries the
    // count in a register to where the paths meet, and the common path then
    // loads, subtracts and stores it instead of one subtract in memory.
    asm volatile("" : "+m"(chainLeft));
#endif
  }
  // Records what the instruction asks of the run loop and ends the chain.
  void Ask(RunState state) {
    runState = state;
    EndChain();
  }

  std::uint32_t& d(unsigned n) { return regs[n]; }
  std::uint32_t& a(unsigned n) { return regs[8 + n]; }
  std::uint32_t d(unsigned n) const { return regs[n]; }
  std::uint32_t a(unsigned n) const { return regs[8 + n]; }

  // The condition flags as 0 or 1, whatever their form inside.
  unsigned FlagC() const { return c; }
  unsigned FlagV() const { return v; }
  unsigned FlagZ() const { return static_cast<std::uint32_t>(nz) == 0; }
  unsigned FlagN() const { return static_cast<unsigned>(nz >> 63); }
  unsigned FlagX() const { return x; }
  void SetFlagC(bool on) { c = on; }
  void SetFlagV(bool on) { v = on; }
  void SetFlagX(bool on) { x = on; }
  // N and Z together, in the form the instructions leave.
  void SetFlagsNZ(bool negative, bool zero) { nz = std::uint64_t{negative} << 63 | std::uint64_t{!zero}; }
  void SetFlagN(bool on) { SetFlagsNZ(on, FlagZ()); }
  void SetFlagZ(bool on) { SetFlagsNZ(FlagN(), on); }

  unsigned opReg() const { return opcode & 7u; }           // bits 2-0
  unsigned opMode() const { return (opcode >> 3) & 7u; }   // bits 5-3
  unsigned opReg2() const { return (opcode >> 9) & 7u; }   // bits 11-9
  unsigned opLow() const { return opcode & 0xFFu; }        // bits 7-0
};

}  // namespace pellux
