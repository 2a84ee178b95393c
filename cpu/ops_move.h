// Lines 1-3: MOVE and MOVEA, one handler per destination mode.
//
// Bits 8-6 (the destination mode) pick the handler, which goes on through a
// row of eight by the source mode (bits 5-3): MOVE is about a quarter of
// what compiled code runs, and with both modes fixed at compile time its
// addressing is straight-line code. The source comes first, extension words
// and register step included, so a destination on the same register sees
// the step: MOVE.L (A0)+,-(A0) writes the long back where it was read.
#pragma once

#include <cstdint>

#include "cpu/dispatch_types.h"
#include "cpu/effective_address.h"

namespace pellux {

// The address of the destination An of bits 11-9 in the mode the handler
// was chosen for (2 to 7); mode 7 is abs.W or abs.L, checked by the caller.
template <class S, unsigned kMode, class M>
inline std::uint32_t MoveDestination(M& m) {
  CpuState& cpu = m.cpu;
  const unsigned r = cpu.opReg2();
  std::uint32_t& an = cpu.a(r);
  if constexpr (kMode == 2) {
    return an;
  } else if constexpr (kMode == 3) {
    const std::uint32_t address = an;
    an += AddressStep<S>(r);
    return address;
  } else if constexpr (kMode == 4) {
    an -= AddressStep<S>(r);
    return an;
  } else if constexpr (kMode == 5) {
    const std::uint32_t displacement = FetchWord(m);
    return an + displacement;
  } else if constexpr (kMode == 6) {
    const std::uint32_t ext = FetchWord(m);
    return an + BriefIndex(cpu, ext);
  } else {
    static_assert(kMode == 7);
    return r == 0 ? FetchWord(m) : FetchLong(m);
  }
}

// The byte read refuses an address register source; words and longs take it.
template <class S, unsigned kSource, class M>
void MoveToDataRegisterFrom(M& m) {
  CpuState& cpu = m.cpu;
  std::uint32_t value;
  if (!ReadEaAny<S>(m, kSource, value)) return;
  SetLogicFlags<S>(cpu, value);
  SetLow<S>(cpu.d(cpu.opReg2()), value);
}

// MOVEA: the whole register, a word sign-extended; no flag changes.
template <class S, unsigned kSource, class M>
void MoveToAddressRegisterFrom(M& m) {
  CpuState& cpu = m.cpu;
  std::uint32_t value;
  if (!ReadEaAny<S>(m, kSource, value)) return;
  cpu.a(cpu.opReg2()) = value;
}

template <class S, unsigned kMode, unsigned kSource, class M>
void MoveToMemoryFrom(M& m) {
  CpuState& cpu = m.cpu;
  if constexpr (kMode == 7) {
    // PC-relative, immediate and the unassigned codes are no destinations.
    if (cpu.opReg2() > 1) {
      RaiseIllegal(m);
      return;
    }
  }
  std::uint32_t value;
  if (!ReadEaAny<S>(m, kSource, value)) return;
  SetLogicFlags<S>(cpu, value);
  const std::uint32_t address = MoveDestination<S, kMode>(m);
  WriteSized<S>(m, address, value);
}

template <class S, class M>
inline constexpr HandlerRow<M> kMoveToDataRegisterBySource =
    BySource<M>([](auto source) { return &MoveToDataRegisterFrom<S, source(), M>; }, kSourceModes);

template <class S, class M>
inline constexpr HandlerRow<M> kMoveToAddressRegisterBySource =
    BySource<M>([](auto source) { return &MoveToAddressRegisterFrom<S, source(), M>; }, kSourceModes);

template <class S, unsigned kMode, class M>
inline constexpr HandlerRow<M> kMoveToMemoryBySource =
    BySource<M>([](auto source) { return &MoveToMemoryFrom<S, kMode, source(), M>; }, kSourceModes);

template <class S, class M>
void MoveToDataRegister(M& m) {
  kMoveToDataRegisterBySource<S, M>[m.cpu.opMode()](m);
}

template <class S, class M>
void MoveToAddressRegister(M& m) {
  kMoveToAddressRegisterBySource<S, M>[m.cpu.opMode()](m);
}

template <class S, unsigned kMode, class M>
void MoveToMemory(M& m) {
  kMoveToMemoryBySource<S, kMode, M>[m.cpu.opMode()](m);
}

template <class S, class M>
inline constexpr HandlerRow<M> kMoveRow = {
    MoveToDataRegister<S, M>,     // 000 Dn
    MoveToAddressRegister<S, M>,  // 001 An (MOVEA)
    MoveToMemory<S, 2, M>,        // 010 (An)
    MoveToMemory<S, 3, M>,        // 011 (An)+
    MoveToMemory<S, 4, M>,        // 100 -(An)
    MoveToMemory<S, 5, M>,        // 101 d16(An)
    MoveToMemory<S, 6, M>,        // 110 d8(An,Xn)
    MoveToMemory<S, 7, M>,        // 111 abs.W, abs.L
};

// There is no byte MOVEA.
template <class M>
inline constexpr HandlerRow<M> kMoveByteRow = [] {
  HandlerRow<M> row = kMoveRow<Byte, M>;
  row[1] = IllegalEntry<M>;
  return row;
}();

template <class M>
inline constexpr HandlerRow<M> kMoveLongRow = kMoveRow<Long, M>;

template <class M>
inline constexpr HandlerRow<M> kMoveWordRow = kMoveRow<Word, M>;

}  // namespace pellux
