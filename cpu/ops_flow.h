// Line 4 flow control and supervisor instructions: TRAP, LINK, UNLK, MOVE
// USP, RESET, NOP, STOP, RTE, RTS, TRAPV, RTR, JSR, JMP and MOVE to SR.
//
// The privileged ones test S before they fetch or read anything, so in user
// state they stack the address of their own opcode and change nothing.
#pragma once

#include "cpu/exceptions.h"
#include "cpu/effective_address.h"

namespace pellux {

// True in supervisor state; otherwise raises the privilege violation.
template <class M>
inline bool Supervisor(M& m) {
  if (m.cpu.s) return true;
  RaisePrivilege(m);
  return false;
}

// TRAP #n, 0x4E40-0x4E4F: vector 32 + n, stacking the next instruction.
template <class M>
void Trap(M& m) {
  RaiseException(m, kVectorTrapBase + (m.cpu.opcode & 15u));
}

// LINK An,#d16: pushes An, points An at it, then reserves d16 bytes.
template <class M>
void Link(M& m) {
  CpuState& cpu = m.cpu;
  const std::uint32_t displacement = FetchWord(m);
  const std::uint32_t frame = cpu.a(7) - 4;
  WriteLong(m, frame, cpu.a(cpu.opReg()));
  cpu.a(cpu.opReg()) = frame;
  cpu.a(7) = frame + displacement;
}

// UNLK An: A7 = An + 4 and An = the long at An. For UNLK A7 the pop wins
// over the load: A7 ends 4 above where it was.
template <class M>
void Unlk(M& m) {
  CpuState& cpu = m.cpu;
  const std::uint32_t frame = cpu.a(cpu.opReg());
  cpu.a(cpu.opReg()) = ReadLong(m, frame);
  cpu.a(7) = frame + 4;
}

// MOVE An,USP (0x4E60-0x4E67) and MOVE USP,An (0x4E68-0x4E6F).
template <class M>
void MoveToUsp(M& m) {
  if (!Supervisor(m)) return;
  m.cpu.otherSp = m.cpu.a(m.cpu.opReg());
}

template <class M>
void MoveFromUsp(M& m) {
  if (!Supervisor(m)) return;
  m.cpu.a(m.cpu.opReg()) = m.cpu.otherSp;
}

// RESET: no device of the machine is reset; only the privilege is checked.
template <class M>
void ResetInstruction(M& m) {
  Supervisor(m);
}

template <class M>
void Nop(M&) {}

// STOP #imm: asks the run loop to end the run, then loads SR. An interrupt
// that the new mask lets through is taken at once and cancels the stop.
template <class M>
void Stop(M& m) {
  if (!Supervisor(m)) return;
  const std::uint32_t value = FetchWord(m);
  RequestStop(m.cpu);
  SetSR(m, value);
}

// RTE: the six-byte frame, SR word under the PC long.
template <class M>
void Rte(M& m) {
  if (!Supervisor(m)) return;
  CpuState& cpu = m.cpu;
  const std::uint32_t frame = cpu.a(7);
  const std::uint32_t sr = ReadWord(m, frame);
  cpu.pc = ReadLong(m, frame + 2);
  cpu.a(7) = frame + 6;
  SetSR(m, sr);
}

template <class M>
void Rts(M& m) {
  CpuState& cpu = m.cpu;
  cpu.pc = ReadLong(m, cpu.a(7));
  cpu.a(7) += 4;
}

template <class M>
void Trapv(M& m) {
  if (m.cpu.v) RaiseException(m, kVectorTrapV);
}

// RTR: the five condition flags from the word at A7, then the PC above it.
template <class M>
void Rtr(M& m) {
  CpuState& cpu = m.cpu;
  const std::uint32_t frame = cpu.a(7);
  SetCCR(cpu, ReadWord(m, frame));
  cpu.pc = ReadLong(m, frame + 2);
  cpu.a(7) = frame + 6;
}

// JSR <ea>: the pushed PC is past the whole instruction, extension words included.
template <class M>
void Jsr(M& m) {
  CpuState& cpu = m.cpu;
  std::uint32_t target;
  if (!EaControlAddress(m, cpu.opMode(), target)) return;
  cpu.a(7) -= 4;
  WriteLong(m, cpu.a(7), cpu.pc);
  cpu.pc = target;
}

template <class M>
void Jmp(M& m) {
  std::uint32_t target;
  if (!EaControlAddress(m, m.cpu.opMode(), target)) return;
  m.cpu.pc = target;
}

// MOVE <ea>,SR: privileged before the operand is read, even a refused one.
template <class M>
void MoveToSr(M& m) {
  if (!Supervisor(m)) return;
  std::uint32_t value;
  if (!ReadEa<Word>(m, m.cpu.opMode(), value)) return;
  SetSR(m, value);
}

}  // namespace pellux
