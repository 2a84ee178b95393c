// Compare memory, the form of line B that is no generic operand form.
#pragma once

#include <cstdint>

#include "cpu/alu.h"
#include "cpu/effective_address.h"

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

}  // namespace pellux
