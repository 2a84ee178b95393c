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

// How far an operand of size S moves up to the top of a 32-bit word.
template <class S>
inline constexpr unsigned kTopShift = 32 - 8 * S::bytes;

// The arithmetic of ADD and SUB at size S, with a carry or borrow in of 0
// or 1: op is the host's checked add or subtract. The operands are moved to
// the top of a 32-bit word, so that the host's carry and signed overflow of
// the 32-bit operation are those of the operation at size S. The carry in is
// a second step, which can carry at most once (C is the OR of the steps) and
// overflows twice only when the two overflows cancel (V is the XOR). Sets C
// and V and returns the result at the top of the word, where its sign and
// zero are those of the result at size S.
template <class S, class Op>
inline std::uint32_t AtTopOfWord(CpuState& cpu, std::uint32_t destination, std::uint32_t source,
                                 std::uint32_t in, Op op) {
  constexpr unsigned kShift = kTopShift<S>;
  const std::uint32_t d = destination << kShift, s = source << kShift;
  std::uint32_t result;
  std::int32_t signedResult;
  bool c = op(d, s, &result);
  bool v = op(static_cast<std::int32_t>(d), static_cast<std::int32_t>(s), &signedResult);
  if (in) {
    const std::uint32_t one = 1u << kShift;
    c |= op(result, one, &result);
    v ^= op(signedResult, static_cast<std::int32_t>(one), &signedResult);
  }
  cpu.c = c;
  cpu.v = v;
  return result;
}

// destination + source + carry at size S. Sets C (carry out) and V and
// returns the result at the top of the word (AtTopOfWord); N, Z and X differ
// between ADD and ADDX and are left to the caller.
struct Adding {
  template <class S>
  static std::uint32_t Run(CpuState& cpu, std::uint32_t destination, std::uint32_t source,
                           std::uint32_t carry) {
    return AtTopOfWord<S>(cpu, destination, source, carry,
                          [](auto a, auto b, auto* sum) { return __builtin_add_overflow(a, b, sum); });
  }
  static std::uint32_t OnAddress(std::uint32_t an, std::uint32_t source) { return an + source; }
};

// destination - source - borrow at size S. Sets C (borrow) and V, as Adding.
struct Subtracting {
  template <class S>
  static std::uint32_t Run(CpuState& cpu, std::uint32_t destination, std::uint32_t source,
                           std::uint32_t borrow) {
    return AtTopOfWord<S>(cpu, destination, source, borrow, [](auto a, auto b, auto* difference) {
      return __builtin_sub_overflow(a, b, difference);
    });
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
    const std::uint32_t top = Kernel::template Run<S>(cpu, destination, source, 0);
    cpu.nz = NzWord(top);
    cpu.x = cpu.c;
    return top >> kTopShift<S>;
  }
  static std::uint32_t ApplyToAddress(CpuState&, std::uint32_t an, std::uint32_t source) {
    return Kernel::OnAddress(an, source);
  }
};

// ADDX, SUBX take X as carry in and only ever clear Z, so that a
// multi-precision chain ends with Z set only when every part was zero. A
// zero result keeps Z: the low bit added to its N-and-Z word is 1 exactly
// when Z was already clear.
template <class Kernel>
struct Extended {
  static constexpr bool kWritesResult = true;
  template <class S>
  static std::uint32_t Apply(CpuState& cpu, std::uint32_t destination, std::uint32_t source) {
    const std::uint32_t top = Kernel::template Run<S>(cpu, destination, source, cpu.x);
    cpu.nz = NzWord(top) | std::uint64_t{static_cast<std::uint32_t>(cpu.nz) != 0};
    cpu.x = cpu.c;
    return top >> kTopShift<S>;
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
    const std::uint32_t top = Subtracting::Run<S>(cpu, destination, source, 0);
    cpu.nz = NzWord(top);
    return top >> kTopShift<S>;
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
    // A low bit in the N-and-Z word clears Z and keeps N.
    if (bcd.value != 0) cpu.nz |= 1;
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
