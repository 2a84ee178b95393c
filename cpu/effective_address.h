// Effective addresses: the 6-bit mode/register field turned into an address
// or straight into an operand value.
//
// The register is always opReg (opcode bits 2-0); the mode is an argument,
// normally opMode. Every operation returns false when it refuses the mode:
// it has then set runState to IllegalOp and touched nothing (no step of an
// (An)+ or -(An), no memory access), and the handler must return at once so
// that the run loop can replay the illegal-instruction exception as if the
// instruction had never run. Checking the result costs nothing on the hot
// path: once inlined, each accepted mode's branch knows it succeeded.
//
//   mode 0 Dn      3 (An)+     6 d8(An,Xn)    7/1 abs.L     7/4 #imm
//   mode 1 An      4 -(An)     7/0 abs.W      7/2 d16(PC)   7/5-7 refused everywhere
//   mode 2 (An)    5 d16(An)                  7/3 d8(PC,Xn)
#pragma once

#include <cstdint>

#include "cpu/always_inline.h"
#include "cpu/cpu_state.h"
#include "cpu/instruction_stream.h"
#include "cpu/operand_size.h"

namespace pellux {

// The index of a brief extension word: register (bits 15-12, D0..A7), word or
// long index (bit 11), plus the signed 8-bit displacement. Bits 10-8 (the
// scale of later processors) are ignored.
PELLUX_ALWAYS_INLINE std::uint32_t BriefIndex(const CpuState& cpu, std::uint32_t ext) {
  const std::uint32_t reg = cpu.regs[(ext >> 12) & 15];
  const std::uint32_t index = (ext & 0x800) ? reg : SignExtend16(reg);
  return index + SignExtend8(ext);
}

PELLUX_ALWAYS_INLINE bool Refuse(CpuState& cpu) {
  cpu.Ask(RunState::IllegalOp);
  return false;
}

// d16(PC) and d8(PC,Xn): the base is the address of the extension word.
template <class M>
PELLUX_ALWAYS_INLINE bool PcRelativeAddress(M& m, unsigned reg, std::uint32_t& address) {
  const std::uint32_t base = m.cpu.pc;
  if (reg == 2) {
    address = base + FetchWord(m);
    return true;
  }
  const std::uint32_t ext = FetchWord(m);
  address = base + BriefIndex(m.cpu, ext);
  return true;
}

// The memory alterable modes: (An), (An)+, -(An), d16(An), d8(An,Xn), abs.W, abs.L.
template <class S, class M>
PELLUX_ALWAYS_INLINE bool EaAddress(M& m, unsigned mode, std::uint32_t& address) {
  CpuState& cpu = m.cpu;
  const unsigned reg = cpu.opReg();
  switch (mode) {
    case 2:
      address = cpu.a(reg);
      return true;
    case 3:
      address = cpu.a(reg);
      cpu.a(reg) += AddressStep<S>(reg);
      return true;
    case 4:
      cpu.a(reg) -= AddressStep<S>(reg);
      address = cpu.a(reg);
      return true;
    case 5: {
      const std::uint32_t displacement = FetchWord(m);
      address = cpu.a(reg) + displacement;
      return true;
    }
    case 6: {
      const std::uint32_t ext = FetchWord(m);
      address = cpu.a(reg) + BriefIndex(cpu, ext);
      return true;
    }
    case 7:
      if (reg == 0) {
        address = FetchWord(m);
        return true;
      }
      if (reg == 1) {
        address = FetchLong(m);
        return true;
      }
      return Refuse(cpu);
    default:
      return Refuse(cpu);
  }
}

template <class M>
PELLUX_ALWAYS_INLINE bool EaAddressByte(M& m, unsigned mode, std::uint32_t& address) {
  return EaAddress<Byte>(m, mode, address);
}
template <class M>
PELLUX_ALWAYS_INLINE bool EaAddressWord(M& m, unsigned mode, std::uint32_t& address) {
  return EaAddress<Word>(m, mode, address);
}
template <class M>
PELLUX_ALWAYS_INLINE bool EaAddressLong(M& m, unsigned mode, std::uint32_t& address) {
  return EaAddress<Long>(m, mode, address);
}

// The control modes, with no register step: (An), d16(An), d8(An,Xn), abs.W,
// abs.L, d16(PC), d8(PC,Xn). Used by LEA, PEA, JMP, JSR and MOVEM.
template <class M>
PELLUX_ALWAYS_INLINE bool EaControlAddress(M& m, unsigned mode, std::uint32_t& address) {
  const unsigned reg = m.cpu.opReg();
  switch (mode) {
    case 2:
    case 5:
    case 6:
      return EaAddress<Long>(m, mode, address);
    case 7:
      if (reg <= 1) return EaAddress<Long>(m, mode, address);
      if (reg <= 3) return PcRelativeAddress(m, reg, address);
      return Refuse(m.cpu);
    default:
      return Refuse(m.cpu);
  }
}

// An operand value, sign-extended to 32 bits. AllowAn admits mode 1 (the
// "Any" reads of words and longs); a byte read never does.
template <class S, bool AllowAn, class M>
PELLUX_ALWAYS_INLINE bool ReadEaValue(M& m, unsigned mode, std::uint32_t& value) {
  CpuState& cpu = m.cpu;
  const unsigned reg = cpu.opReg();
  switch (mode) {
    case 0:
      value = S::Extend(cpu.d(reg));
      return true;
    case 1:
      if constexpr (AllowAn && S::bytes != 1) {
        value = S::Extend(cpu.a(reg));
        return true;
      } else {
        return Refuse(cpu);
      }
    case 7: {
      std::uint32_t address;
      if (reg <= 1) {
        if (!EaAddress<S>(m, mode, address)) return false;
      } else if (reg <= 3) {
        PcRelativeAddress(m, reg, address);
      } else if (reg == 4) {
        if constexpr (S::bytes == 1) {
          value = SignExtend8(FetchWord(m));
        } else if constexpr (S::bytes == 2) {
          value = FetchWord(m);
        } else {
          value = FetchLong(m);
        }
        return true;
      } else {
        return Refuse(cpu);
      }
      value = ReadSized<S>(m, address);
      return true;
    }
    default: {
      std::uint32_t address;
      EaAddress<S>(m, mode, address);  // modes 2-6 are always accepted
      value = ReadSized<S>(m, address);
      return true;
    }
  }
}

template <class S, class M>
PELLUX_ALWAYS_INLINE bool ReadEa(M& m, unsigned mode, std::uint32_t& value) {
  return ReadEaValue<S, false>(m, mode, value);
}

template <class S, class M>
PELLUX_ALWAYS_INLINE bool ReadEaAny(M& m, unsigned mode, std::uint32_t& value) {
  return ReadEaValue<S, true>(m, mode, value);
}

template <class M>
PELLUX_ALWAYS_INLINE bool ReadEaByte(M& m, unsigned mode, std::uint32_t& value) {
  return ReadEa<Byte>(m, mode, value);
}
template <class M>
PELLUX_ALWAYS_INLINE bool ReadEaWord(M& m, unsigned mode, std::uint32_t& value) {
  return ReadEa<Word>(m, mode, value);
}
template <class M>
PELLUX_ALWAYS_INLINE bool ReadEaLong(M& m, unsigned mode, std::uint32_t& value) {
  return ReadEa<Long>(m, mode, value);
}
template <class M>
PELLUX_ALWAYS_INLINE bool ReadEaWordAny(M& m, unsigned mode, std::uint32_t& value) {
  return ReadEaAny<Word>(m, mode, value);
}
template <class M>
PELLUX_ALWAYS_INLINE bool ReadEaLongAny(M& m, unsigned mode, std::uint32_t& value) {
  return ReadEaAny<Long>(m, mode, value);
}

// Addressing kinds: the effective-address encodings an instruction can be
// specialized for at compile time. Modes 0-6 are kinds 0-6 (the register
// comes from opcode bits 2-0); mode 7 is kinds 7-11 by its register field.
enum : unsigned {
  kKindAbsWord = 7,
  kKindAbsLong = 8,
  kKindPcDisplacement = 9,
  kKindPcIndex = 10,
  kKindImmediate = 11,
};
inline constexpr unsigned kAddressingKinds = 12;

// Sets of kinds, bit k for kind k.
inline constexpr unsigned kDataAlterableKinds = 0x1FD;  // Dn, memory alterable
inline constexpr unsigned kAlterableKinds = 0x1FF;      // data alterable, An
inline constexpr unsigned kDataNoImmediateKinds = 0x7FD;
inline constexpr unsigned kControlKinds = 0x7E4;  // (An), d16(An), d8(An,Xn), abs, PC-relative

// The kind of a valid mode/register field (mode 7 with reg 5-7 is no kind).
constexpr unsigned AddressingKind(unsigned mode, unsigned reg) { return mode < 7 ? mode : 7 + reg; }

// The address of a memory operand of kind 2 to 10, (An)+ and -(An) stepped.
template <class S, unsigned kKind, class M>
PELLUX_ALWAYS_INLINE std::uint32_t OperandAddress(M& m) {
  static_assert(kKind >= 2 && kKind <= kKindPcIndex);
  std::uint32_t address;
  if constexpr (kKind < 7) {
    EaAddress<S>(m, kKind, address);  // the mode is a constant: the switch folds away
  } else if constexpr (kKind == kKindAbsWord) {
    address = FetchWord(m);
  } else if constexpr (kKind == kKindAbsLong) {
    address = FetchLong(m);
  } else {
    PcRelativeAddress(m, kKind - 7, address);
  }
  return address;
}

// The operand of kind 0 to 11, sign-extended to 32 bits. The caller knows the
// kind is valid for the instruction: nothing is refused here.
template <class S, unsigned kKind, class M>
PELLUX_ALWAYS_INLINE std::uint32_t ReadOperand(M& m) {
  CpuState& cpu = m.cpu;
  if constexpr (kKind == 0) {
    return S::Extend(cpu.d(cpu.opReg()));
  } else if constexpr (kKind == 1) {
    return S::Extend(cpu.a(cpu.opReg()));
  } else if constexpr (kKind == kKindImmediate) {
    if constexpr (S::bytes == 1) {
      return SignExtend8(FetchWord(m));
    } else if constexpr (S::bytes == 2) {
      return FetchWord(m);
    } else {
      return FetchLong(m);
    }
  } else {
    return ReadSized<S>(m, OperandAddress<S, kKind>(m));
  }
}

// Read-modify-write of a data-alterable operand: the low bits of Dn, or the
// operand at a memory alterable address computed once (so (An)+ and -(An)
// step once). op takes the value sign-extended and returns the new value.
// An and the modes EaAddress refuses are refused.
template <class S, class M, class Op>
PELLUX_ALWAYS_INLINE void ModifyDataAlterable(M& m, Op op) {
  CpuState& cpu = m.cpu;
  const unsigned mode = cpu.opMode();
  if (mode == 0) {
    std::uint32_t& reg = cpu.d(cpu.opReg());
    SetLow<S>(reg, op(S::Extend(reg)));
    return;
  }
  std::uint32_t address;
  if (!EaAddress<S>(m, mode, address)) return;
  WriteSized<S>(m, address, op(ReadSized<S>(m, address)));
}

}  // namespace pellux
