// Exception processing, interrupts and the status register.
//
// Every trap, fault and interrupt enters through RaiseException with the
// 68000's six-byte frame (SR word under the PC long) on the supervisor stack.
// Where this core departs from the MC68000: the address error uses the same
// short frame and is taken after the faulting instruction has finished;
// interrupts are not sampled between instructions but taken when requested
// (if above the mask) or when SetSR lowers the mask; level 7 is maskable.
#pragma once

#include <cstdint>
#include <utility>

#include "cpu/cpu_state.h"

namespace pellux {

enum Vector : unsigned {
  kVectorAddressError = 3,
  kVectorIllegal = 4,
  kVectorZeroDivide = 5,
  kVectorChk = 6,
  kVectorTrapV = 7,
  kVectorPrivilege = 8,
  kVectorTrace = 9,
  kVectorLineA = 10,
  kVectorLineF = 11,
  kVectorAutoBase = 24,  // level n takes vector 24 + n
  kVectorTrapBase = 32,  // TRAP #n takes vector 32 + n
};

namespace sr {
constexpr std::uint32_t kTrace = 0x8000;
constexpr std::uint32_t kSupervisor = 0x2000;
constexpr std::uint32_t kMaskShift = 8;
}  // namespace sr

inline std::uint32_t GetSR(const CpuState& cpu) {
  return cpu.FlagC() | cpu.FlagV() << 1 | cpu.FlagZ() << 2 | cpu.FlagN() << 3 | cpu.FlagX() << 4 |
         (cpu.intMask & 7u) << sr::kMaskShift | (cpu.s != 0) << 13 | (cpu.t != 0) << 15;
}

// The five condition flags from bits 0-4, as MOVE to CCR, RTR and the CCR
// immediates load them; the supervisor byte is left alone.
inline void SetCCR(CpuState& cpu, std::uint32_t value) {
  cpu.SetFlagC(value & 1);
  cpu.SetFlagV((value >> 1) & 1);
  cpu.SetFlagsNZ((value >> 3) & 1, (value >> 2) & 1);
  cpu.SetFlagX((value >> 4) & 1);
}

// The registers that exist apart from D0-D7, A0-A7 and the PC, as a
// debugger, gdb or a tool reads and writes them by name. A7 is whichever of
// USP and SSP the S bit makes active; the other waits in otherSp.
enum class SystemRegister : std::uint8_t { Sr, Usp, Ssp };

inline std::uint32_t ReadSystemRegister(const CpuState& cpu, SystemRegister which) {
  switch (which) {
    case SystemRegister::Sr:
      return GetSR(cpu);
    case SystemRegister::Usp:
      return cpu.s ? cpu.otherSp : cpu.regs[15];
    case SystemRegister::Ssp:
      break;
  }
  return cpu.s ? cpu.regs[15] : cpu.otherSp;
}

// Writing SR takes its 68000 bits only (T, S, the mask, X N Z V C); a change
// of S moves A7 to the other stack. It is no instruction: nothing is taken
// (an interrupt the new mask lets through waits for the next request), and
// a T written here traces the next instruction.
inline void WriteSystemRegister(CpuState& cpu, SystemRegister which, std::uint32_t value) {
  switch (which) {
    case SystemRegister::Sr: {
      SetCCR(cpu, value);
      const std::uint8_t supervisor = (value & sr::kSupervisor) != 0;
      if (supervisor != cpu.s) {
        std::swap(cpu.regs[15], cpu.otherSp);
        cpu.s = supervisor;
      }
      cpu.intMask = (value >> sr::kMaskShift) & 7;
      cpu.t = (value & sr::kTrace) != 0;
      cpu.traceJustSet = 0;
      if (cpu.t) cpu.EndChain();
      return;
    }
    case SystemRegister::Usp:
      (cpu.s ? cpu.otherSp : cpu.regs[15]) = value;
      return;
    case SystemRegister::Ssp:
      (cpu.s ? cpu.regs[15] : cpu.otherSp) = value;
      return;
  }
}

inline void RequestStop(CpuState& cpu) { cpu.Ask(RunState::StopRequest); }

// A device touched by the current instruction has to act before the next
// one (a request for an interrupt, a transfer that starts): the run ends
// after this instruction. A fault or stop already recorded ends it anyway.
inline void RequestDeviceService(CpuState& cpu) {
  if (cpu.runState == RunState::Running) cpu.Ask(RunState::DeviceRequest);
}

// A machine that wants to see exceptions (a debugger's watching bus) has
// ExceptionRaised(vector); it is told before the frame is stacked.
template <class M>
void RaiseException(M& m, unsigned vector) {
  if constexpr (requires { m.ExceptionRaised(vector); }) m.ExceptionRaised(vector);
  CpuState& cpu = m.cpu;
  const std::uint32_t sr = GetSR(cpu);
  if (!cpu.s) {
    std::swap(cpu.regs[15], cpu.otherSp);
    cpu.s = 1;
  }
  cpu.t = 0;
  cpu.traceJustSet = 0;
  WriteLong(m, cpu.regs[15] - 4, cpu.pc);
  WriteWord(m, cpu.regs[15] - 6, sr);
  cpu.regs[15] -= 6;
  cpu.pc = ReadLong(m, vector * 4);
}

// The exceptions that stack the address of the opcode word itself.
template <class M>
void RaiseAtOpcode(M& m, unsigned vector) {
  m.cpu.pc = m.cpu.opPc;
  RaiseException(m, vector);
}

template <class M>
void RaiseIllegal(M& m) {
  RaiseAtOpcode(m, kVectorIllegal);
}

template <class M>
void RaisePrivilege(M& m) {
  RaiseAtOpcode(m, kVectorPrivilege);
}

template <class M>
void RaiseLineA(M& m) {
  RaiseAtOpcode(m, kVectorLineA);
}

template <class M>
void RaiseLineF(M& m) {
  RaiseAtOpcode(m, kVectorLineF);
}

// Takes the highest pending level if it is above the mask; at most one per call.
template <class M>
void AcceptPendingInterrupt(M& m) {
  CpuState& cpu = m.cpu;
  const unsigned pending = cpu.pendingInts & 0xFEu;
  if (pending == 0) return;
  unsigned level = 7;
  while (!(pending & (1u << level))) --level;
  if (level <= cpu.intMask) return;
  cpu.pendingInts &= static_cast<std::uint8_t>(~(1u << level));
  // An accepted interrupt ends a STOP that is loading the new mask.
  cpu.runState = RunState::Running;
  RaiseException(m, kVectorAutoBase + level);
  cpu.intMask = static_cast<std::uint8_t>(level);
}

// Loads the whole status register. Only instructions that have checked the
// supervisor bit call this.
template <class M>
void SetSR(M& m, std::uint32_t value) {
  CpuState& cpu = m.cpu;
  // T turned on by this instruction spares it the trace; T already on
  // keeps whatever the instruction before decided.
  const bool traceWasOff = !cpu.t;
  const std::uint8_t justSet = cpu.traceJustSet;
  WriteSystemRegister(cpu, SystemRegister::Sr, value);
  cpu.traceJustSet = cpu.t && (traceWasOff || justSet);
  AcceptPendingInterrupt(m);
}

// Called between instructions by the machine's interrupt sources.
template <class M>
void RequestInterrupt(M& m, unsigned level) {
  CpuState& cpu = m.cpu;
  level &= 7;
  if (level == 0) return;
  if (level <= cpu.intMask) {
    cpu.pendingInts |= static_cast<std::uint8_t>(1u << level);
    return;
  }
  RaiseException(m, kVectorAutoBase + level);
  cpu.intMask = static_cast<std::uint8_t>(level);
  cpu.pendingInts &= static_cast<std::uint8_t>(~(1u << level));
}

}  // namespace pellux
