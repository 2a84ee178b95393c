// Add, subtract and compare: lines 9, B and D.
#pragma once

#include <cstdint>

#include "cpu/alu.h"
#include "cpu/dispatch_types.h"
#include "cpu/effective_address.h"
#include "cpu/operand_forms.h"
#include "cpu/ops_logic.h"

namespace pellux {

// CMPM (Ay)+,(Ax)+: Ax operand - Ay operand. With Ax = Ay the two operands
// are consecutive.
template <class S, class M>
void CompareMemory(M& m) {
  CpuState& cpu = m.cpu;
  const unsigned ry = cpu.opReg(), rx = cpu.opReg2();
  const std::uint32_t source = ReadSized<S>(m, cpu.a(ry));
  cpu.a(ry) += AddressStep<S>(ry);
  const std::uint32_t destination = ReadSized<S>(m, cpu.a(rx));
  cpu.a(rx) += AddressStep<S>(rx);
  alu::Cmp::Apply<S>(cpu, destination, source);
}

// Line B opmodes 100-110: mode 001 is CMPM, the others EOR Dn,ea.
template <class S, class M>
void CompareMemoryOrEor(M& m) {
  if (m.cpu.opMode() == 1) {
    CompareMemory<S>(m);
  } else {
    EorToEa<S>(m);
  }
}

// Lines 9 and D have the same layout, SUB in the places of ADD.
template <class Op, class OpX, class M>
inline constexpr HandlerRow<M> kAddSubtractRow = {
    EaToDataRegister<Op, Byte, M>,     // 000 ADD.B ea,Dn
    EaToDataRegister<Op, Word, M>,     // 001 ADD.W ea,Dn
    EaToDataRegister<Op, Long, M>,     // 010 ADD.L ea,Dn
    EaToAddressRegister<Op, Word, M>,  // 011 ADDA.W
    PairOrMemory<OpX, Op, Byte, M>,    // 100 ADDX.B, ADD.B Dn,ea
    PairOrMemory<OpX, Op, Word, M>,    // 101 ADDX.W, ADD.W Dn,ea
    PairOrMemory<OpX, Op, Long, M>,    // 110 ADDX.L, ADD.L Dn,ea
    EaToAddressRegister<Op, Long, M>,  // 111 ADDA.L
};

template <class M>
inline constexpr HandlerRow<M> kLine9Row = kAddSubtractRow<alu::Sub, alu::SubX, M>;

template <class M>
inline constexpr HandlerRow<M> kLineDRow = kAddSubtractRow<alu::Add, alu::AddX, M>;

template <class M>
inline constexpr HandlerRow<M> kLineBRow = {
    EaToDataRegister<alu::Cmp, Byte, M>,     // 000 CMP.B
    EaToDataRegister<alu::Cmp, Word, M>,     // 001 CMP.W
    EaToDataRegister<alu::Cmp, Long, M>,     // 010 CMP.L
    EaToAddressRegister<alu::Cmp, Word, M>,  // 011 CMPA.W
    CompareMemoryOrEor<Byte, M>,             // 100 CMPM.B, EOR.B
    CompareMemoryOrEor<Word, M>,             // 101 CMPM.W, EOR.W
    CompareMemoryOrEor<Long, M>,             // 110 CMPM.L, EOR.L
    EaToAddressRegister<alu::Cmp, Long, M>,  // 111 CMPA.L
};

}  // namespace pellux
