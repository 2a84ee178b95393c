// Lines 1-3: MOVE and MOVEA.
//
// One handler per size, destination and source addressing kind: MOVE is
// about a quarter of what compiled code runs, and with both operands' kinds
// fixed at compile time its addressing is straight-line code. The source
// comes first, extension words and register step included, so a destination
// on the same register sees the step: MOVE.L (A0)+,-(A0) writes the long back where it was read.
#pragma once

#include <array>
#include <cstdint>

#include "cpu/dispatch_types.h"
#include "cpu/effective_address.h"

namespace pellux {

// The address of the destination An of bits 11-9 in the addressing kind the
// handler was chosen for: modes 2 to 6, abs.W (7) or abs.L (8).
template <class S, unsigned kDestination, class M>
PELLUX_ALWAYS_INLINE std::uint32_t MoveDestination(M& m) {
  CpuState& cpu = m.cpu;
  const unsigned r = cpu.opReg2();
  std::uint32_t& an = cpu.a(r);
  if constexpr (kDestination == 2) {
    return an;
  } else if constexpr (kDestination == 3) {
    const std::uint32_t address = an;
    an += AddressStep<S>(r);
    return address;
  } else if constexpr (kDestination == 4) {
    an -= AddressStep<S>(r);
    return an;
  } else if constexpr (kDestination == 5) {
    const std::uint32_t displacement = FetchWord(m);
    return an + displacement;
  } else if constexpr (kDestination == 6) {
    const std::uint32_t ext = FetchWord(m);
    return an + BriefIndex(cpu, ext);
  } else if constexpr (kDestination == kKindAbsWord) {
    return FetchWord(m);
  } else {
    static_assert(kDestination == kKindAbsLong);
    return FetchLong(m);
  }
}

template <class S, unsigned kSource, class M>
void MoveToDataRegister(M& m) {
  CpuState& cpu = m.cpu;
  const std::uint32_t value = ReadOperand<S, kSource>(m);
  SetLogicFlags<S>(cpu, value);
  SetLow<S>(cpu.d(cpu.opReg2()), value);
}

// MOVEA: the whole register, a word sign-extended; no flag changes.
template <class S, unsigned kSource, class M>
void MoveToAddressRegister(M& m) {
  const std::uint32_t value = ReadOperand<S, kSource>(m);
  m.cpu.a(m.cpu.opReg2()) = value;
}

template <class S, unsigned kDestination, unsigned kSource, class M>
void MoveToMemory(M& m) {
  const std::uint32_t value = ReadOperand<S, kSource>(m);
  SetLogicFlags<S>(m.cpu, value);
  const std::uint32_t address = MoveDestination<S, kDestination>(m);
  WriteSized<S>(m, address, value);
}

// By destination kind (0 to 8), then source kind (0 to 11). Kind 1 is MOVEA,
// which has no byte form.
template <class S, class M>
inline constexpr std::array<HandlerArray<M, kAddressingKinds>, kKindAbsLong + 1> kMoveHandlers =
    HandlersBy<kKindAbsLong + 1>([](auto destination) {
      constexpr unsigned kDestination = destination();
      return HandlersBy<kAddressingKinds>([](auto source) -> Handler<M> {
        if constexpr (kDestination == 0) {
          return &MoveToDataRegister<S, source(), M>;
        } else if constexpr (kDestination == 1) {
          if constexpr (S::bytes == 1) {
            return &IllegalEntry<M>;
          } else {
            return &MoveToAddressRegister<S, source(), M>;
          }
        } else {
          return &MoveToMemory<S, kDestination, source(), M>;
        }
      });
    });

}  // namespace pellux
