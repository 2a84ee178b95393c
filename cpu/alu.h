// The arithmetic and logic of the two-operand instructions, with their flags.
//
// Each operation is a type. Apply<S>(cpu, destination, source) computes the
// result at size S (returned in the low bits, the rest zero) and sets the
// flags as the MC68000 defines them for that instruction; the handler shapes
// of cpu/operand_forms.h decide where the operands come from and whether the
// result is stored (kWritesResult: CMP only sets flags). kAcceptsAn says
// whether the word and long ea,Dn forms take an address register as source.
// ApplyToAddress is the 32-bit form on an address register (ADDA, SUBA, CMPA
// and the quick forms on An).
#pragma once

#include <cstdint>
#include <functional>

#include "cpu/bcd.h"
#include "cpu/cpu_state.h"
#include "cpu/operand_size.h"

namespace pellux::alu {

// destination + source + carry at size S. Sets C (carry out), V and N; Z and
// X differ between ADD and ADDX and are left to the caller.
struct Adding {
  template <class S>
  static std::uint32_t Run(CpuState& cpu, std::uint32_t destination, std::uint32_t source,
                           std::uint32_t carry) {
    destination &= S::mask;
    source &= S::mask;
    const std::uint64_t wide = std::uint64_t{destination} + source + carry;
    const std::uint32_t result = static_cast<std::uint32_t>(wide) & S::mask;
    cpu.c = (wide >> (8 * S::bytes)) & 1;
    cpu.v = (~(destination ^ source) & (destination ^ result) & S::msb) != 0;
    cpu.n = (result & S::msb) != 0;
    return result;
  }
  static std::uint32_t OnAddress(std::uint32_t an, std::uint32_t source) { return an + source; }
};

// destination - source - borrow at size S. Sets C (borrow), V and N.
struct Subtracting {
  template <class S>
  static std::uint32_t Run(CpuState& cpu, std::uint32_t destination, std::uint32_t source,
                           std::uint32_t borrow) {
    destination &= S::mask;
    source &= S::mask;
    // A borrow wraps the 64-bit difference, which sets every bit above the size.
    const std::uint64_t wide = std::uint64_t{destination} - source - borrow;
    const std::uint32_t result = static_cast<std::uint32_t>(wide) & S::mask;
    cpu.c = (wide >> (8 * S::bytes)) & 1;
    cpu.v = ((destination ^ source) & (destination ^ result) & S::msb) != 0;
    cpu.n = (result & S::msb) != 0;
    return result;
  }
  static std::uint32_t OnAddress(std::uint32_t an, std::uint32_t source) { return an - source; }
};

// ADD, SUB: X follows C.
template <class Kernel>
struct Plain {
  static constexpr bool kWritesResult = true;
  static constexpr bool kAcceptsAn = true;
  template <class S>
  static std::uint32_t Apply(CpuState& cpu, std::uint32_t destination, std::uint32_t source) {
    const std::uint32_t result = Kernel::template Run<S>(cpu, destination, source, 0);
    cpu.z = result == 0;
    cpu.x = cpu.c;
    return result;
  }
  static std::uint32_t ApplyToAddress(CpuState&, std::uint32_t an, std::uint32_t source) {
    return Kernel::OnAddress(an, source);
  }
};

// ADDX, SUBX take X as carry in and only ever clear Z, so that a
// multi-precision chain ends with Z set only when every part was zero.
template <class Kernel>
struct Extended {
  static constexpr bool kWritesResult = true;
  template <class S>
  static std::uint32_t Apply(CpuState& cpu, std::uint32_t destination, std::uint32_t source) {
    const std::uint32_t result = Kernel::template Run<S>(cpu, destination, source, cpu.x);
    if (result != 0) cpu.z = 0;
    cpu.x = cpu.c;
    return result;
  }
};

using Add = Plain<Adding>;
using Sub = Plain<Subtracting>;
using AddX = Extended<Adding>;
using SubX = Extended<Subtracting>;

// CMP, CMPA, CMPM: the flags of destination - source; X is left alone.
struct Cmp {
  static constexpr bool kWritesResult = false;
  static constexpr bool kAcceptsAn = true;
  template <class S>
  static std::uint32_t Apply(CpuState& cpu, std::uint32_t destination, std::uint32_t source) {
    const std::uint32_t result = Subtracting::Run<S>(cpu, destination, source, 0);
    cpu.z = result == 0;
    return result;
  }
  static std::uint32_t ApplyToAddress(CpuState& cpu, std::uint32_t an, std::uint32_t source) {
    Apply<Long>(cpu, an, source);
    return an;
  }
};

// ABCD, SBCD on packed-BCD bytes: C and X take the decimal carry, Z is only
// ever cleared, and N and V, which the MC68000 leaves undefined, keep their
// values.
template <BcdResult (*kRule)(unsigned, unsigned, unsigned)>
struct Decimal {
  static constexpr bool kWritesResult = true;
  template <class S>
  static std::uint32_t Apply(CpuState& cpu, std::uint32_t destination, std::uint32_t source) {
    static_assert(S::bytes == 1, "decimal arithmetic works on bytes");
    const BcdResult bcd = kRule(destination, source, cpu.x);
    cpu.c = cpu.x = bcd.carry;
    if (bcd.value != 0) cpu.z = 0;
    return bcd.value;
  }
};

using Abcd = Decimal<AddBcd>;
using Sbcd = Decimal<SubtractBcd>;

// The logic operations: N and Z from the result, V = C = 0, X unchanged.
template <class Combine>
struct Logic {
  static constexpr bool kWritesResult = true;
  static constexpr bool kAcceptsAn = false;
  template <class S>
  static std::uint32_t Apply(CpuState& cpu, std::uint32_t destination, std::uint32_t source) {
    const std::uint32_t result = Combine{}(destination, source) & S::mask;
    SetLogicFlags<S>(cpu, result);
    return result;
  }
};

using Or = Logic<std::bit_or<std::uint32_t>>;
using And = Logic<std::bit_and<std::uint32_t>>;
using Eor = Logic<std::bit_xor<std::uint32_t>>;

}  // namespace pellux::alu
