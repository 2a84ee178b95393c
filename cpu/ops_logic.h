// Logic, multiply, divide, BCD and exchange: lines 8 and C, and the EOR
// entries of line B.
#pragma once

#include <cstdint>
#include <limits>
#include <utility>

#include "cpu/alu.h"
#include "cpu/dispatch_types.h"
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

// Opmode 101: EXG Dx,Dy (mode 000), EXG Ax,Ay (001), else AND.W Dn,ea.
template <class M>
void ExchangeOrAndWord(M& m) {
  switch (m.cpu.opMode()) {
    case 0:
      Exchange<0, 0>(m);
      return;
    case 1:
      Exchange<8, 8>(m);
      return;
    default:
      DataRegisterToMemory<alu::And, Word>(m);
  }
}

// Opmode 110: EXG Dx,Ay (mode 001), else AND.L Dn,ea (mode 000 is refused).
template <class M>
void ExchangeOrAndLong(M& m) {
  if (m.cpu.opMode() == 1) {
    Exchange<0, 8>(m);
  } else {
    DataRegisterToMemory<alu::And, Long>(m);
  }
}

// Opmodes 101 and 110 with modes 000 and 001 are refused by the address
// operation: OR has no register pair form there.
template <class M>
inline constexpr HandlerRow<M> kLine8Row = {
    EaToDataRegister<alu::Or, Byte, M>,         // 000 OR.B ea,Dn
    EaToDataRegister<alu::Or, Word, M>,         // 001 OR.W ea,Dn
    EaToDataRegister<alu::Or, Long, M>,         // 010 OR.L ea,Dn
    Divide<false, M>,                           // 011 DIVU
    PairOrMemory<alu::Sbcd, alu::Or, Byte, M>,  // 100 SBCD, OR.B Dn,ea
    DataRegisterToMemory<alu::Or, Word, M>,     // 101 OR.W Dn,ea
    DataRegisterToMemory<alu::Or, Long, M>,     // 110 OR.L Dn,ea
    Divide<true, M>,                            // 111 DIVS
};

template <class M>
inline constexpr HandlerRow<M> kLineCRow = {
    EaToDataRegister<alu::And, Byte, M>,         // 000 AND.B ea,Dn
    EaToDataRegister<alu::And, Word, M>,         // 001 AND.W ea,Dn
    EaToDataRegister<alu::And, Long, M>,         // 010 AND.L ea,Dn
    Multiply<false, M>,                          // 011 MULU
    PairOrMemory<alu::Abcd, alu::And, Byte, M>,  // 100 ABCD, AND.B Dn,ea
    ExchangeOrAndWord<M>,                        // 101 EXG Dx,Dy / Ax,Ay, AND.W Dn,ea
    ExchangeOrAndLong<M>,                        // 110 EXG Dx,Ay, AND.L Dn,ea
    Multiply<true, M>,                           // 111 MULS
};

}  // namespace pellux
