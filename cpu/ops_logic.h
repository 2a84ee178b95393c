// Multiply, divide and exchange (lines 8 and C), and EOR (line B).
#pragma once

#include <cstdint>
#include <limits>
#include <utility>

#include "cpu/alu.h"
#include "cpu/effective_address.h"
#include "cpu/operand_forms.h"

namespace pellux {

// EOR Dn,ea: the destination may also be a data register (bits 2-0).
template <class S, class M>
void EorToEa(M& m) {
  ApplyToDataAlterable<alu::Eor, S>(m, m.cpu.d(m.cpu.opReg2()));
}

// MULU, MULS: the low word of Dn by a word source, the 32-bit product to Dn.
template <bool kSigned, class M>
void Multiply(M& m) {
  CpuState& cpu = m.cpu;
  std::uint32_t source;
  if (!ReadEaWord(m, cpu.opMode(), source)) return;
  std::uint32_t& dn = cpu.d(cpu.opReg2());
  std::uint32_t product;
  if constexpr (kSigned) {
    // At most 2^30 in magnitude: no overflow of the signed product.
    product = static_cast<std::uint32_t>(std::int32_t{static_cast<std::int16_t>(dn)} *
                                         std::int32_t{static_cast<std::int16_t>(source)});
  } else {
    product = (dn & 0xFFFF) * (source & 0xFFFF);
  }
  dn = product;
  SetLogicFlags<Long>(cpu, product);
}

// DIVU, DIVS: Dn / word source, remainder in the high word and quotient in
// the low word. A zero divisor takes vector 5 after the instruction. A
// quotient that does not fit a word only sets V: Dn stays, and N and Z,
// which the MC68000 leaves undefined, keep their values.
template <bool kSigned, class M>
void Divide(M& m) {
  CpuState& cpu = m.cpu;
  std::uint32_t source;
  if (!ReadEaWord(m, cpu.opMode(), source)) return;
  cpu.c = 0;
  if ((source & 0xFFFF) == 0) {
    RaiseException(m, kVectorZeroDivide);
    return;
  }
  std::uint32_t& dn = cpu.d(cpu.opReg2());
  std::uint32_t quotient, remainder;
  if constexpr (kSigned) {
    const auto dividend = static_cast<std::int32_t>(dn);
    const std::int32_t divisor = static_cast<std::int16_t>(source);
    // The one quotient a host division cannot hold; it overflows a word anyway.
    if (dividend == std::numeric_limits<std::int32_t>::min() && divisor == -1) {
      cpu.v = 1;
      return;
    }
    const std::int32_t q = dividend / divisor;
    if (q < -32768 || q > 32767) {
      cpu.v = 1;
      return;
    }
    quotient = static_cast<std::uint32_t>(q);
    remainder = static_cast<std::uint32_t>(dividend % divisor);
  } else {
    const std::uint32_t divisor = source & 0xFFFF;
    quotient = dn / divisor;
    if (quotient > 0xFFFF) {
      cpu.v = 1;
      return;
    }
    remainder = dn % divisor;
  }
  dn = remainder << 16 | (quotient & 0xFFFF);
  SetNZ<Word>(cpu, quotient);
  cpu.v = 0;
}

// EXG: the whole registers; bits 11-9 name the first, bits 2-0 the second.
template <unsigned kFirst, unsigned kSecond, class M>
void Exchange(M& m) {
  CpuState& cpu = m.cpu;
  std::swap(cpu.regs[kFirst + cpu.opReg2()], cpu.regs[kSecond + cpu.opReg()]);
}

}  // namespace pellux
