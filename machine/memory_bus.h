// The calculator's memory bus: every access of the processor goes through here.
//
// Memory map (a = address AND 0xFFFFFF):
//   0x000000-0x1FFFFF  RAM, 256 KB seen eight times. Writes below 0x400 are
//                      dropped (ProtectFault) while port 0x01 bit 2 is set;
//                      the mirrors of those bytes are not protected.
//   0x200000-0x3FFFFF  empty: reads 0; writes go to the flash command machine.
//   0x400000-0x5FFFFF  flash, 2 MB: reads the image (all ones in StatusRead);
//                      writes go to the flash command machine.
//   0x600000-0xFFFFFF  the 32 ports, repeated every 32 bytes, one byte at a
//                      time; writes at 0x700000 and above are ignored.
// Word and long accesses at odd addresses are address faults: the read
// yields 1, the write stores nothing. There is no bus error.
#pragma once

#include <bit>
#include <cstdint>
#include <span>

#include "cpu/always_inline.h"
#include "cpu/big_endian.h"
#include "cpu/core.h"
#include "machine/calculator.h"
#include "machine/flash.h"
#include "machine/ports.h"

namespace pellux {

namespace bus {
constexpr std::uint32_t kAddressMask = 0xFFFFFF;
constexpr std::uint32_t kEmptyStart = 0x200000;
constexpr std::uint32_t kFlashStart = 0x400000;
constexpr std::uint32_t kPortStart = 0x600000;
constexpr std::uint32_t kRamMask = kRamSize - 1;
constexpr std::uint32_t kFlashMask = kRomSize - 1;
constexpr std::uint32_t kProtectedEnd = 0x400;

PELLUX_ALWAYS_INLINE bool AddressFault(Calculator& m, std::uint32_t address) {
  if (address & 1) [[unlikely]] {
    m.cpu.Ask(RunState::AddressFault);
    return true;
  }
  return false;
}

// The write protection of the first 1 KB of RAM (not of its mirrors).
PELLUX_ALWAYS_INLINE bool WriteProtected(Calculator& m, std::uint32_t a) {
  if (a < kProtectedEnd && (m.ports[port::kProtection] & 0x04)) {
    m.cpu.Ask(RunState::ProtectFault);
    return true;
  }
  return false;
}
}  // namespace bus

// Each access decodes plain RAM and readable flash inline, as one or two
// range tests; the empty region, the status mode, the ports, protected
// writes, flash commands and longs that wrap go to the out-of-line rest.
// The rest is marked cold: a handler then saves what it needs across the
// call only on the way to it, instead of pushing registers on every pass.
namespace bus {
[[gnu::cold]] std::uint32_t ReadByteRest(Calculator& m, std::uint32_t a);
[[gnu::cold]] std::uint32_t ReadWordRest(Calculator& m, std::uint32_t a);
[[gnu::cold]] std::uint32_t ReadLongRest(Calculator& m, std::uint32_t address);
[[gnu::cold]] void WriteByteRest(Calculator& m, std::uint32_t a, std::uint32_t value);
[[gnu::cold]] void WriteWordRest(Calculator& m, std::uint32_t a, std::uint32_t value);
[[gnu::cold]] void WriteLongRest(Calculator& m, std::uint32_t address, std::uint32_t value);

// Flash that reads its contents (not in the status mode), a = address AND 0xFFFFFF.
PELLUX_ALWAYS_INLINE bool ReadableFlash(const Calculator& m, std::uint32_t a) {
  return a - kFlashStart < kRomSize && m.flashState != FlashState::StatusRead;
}

// RAM and its mirrors, for any address (the top byte is not decoded): one
// test of the bits that choose the region.
PELLUX_ALWAYS_INLINE bool InRam(std::uint32_t address) {
  return (address & (kAddressMask & ~(kEmptyStart - 1))) == 0;
}

// RAM at an even address: a word or long that neither faults nor leaves it
// for another region, with one test.
PELLUX_ALWAYS_INLINE bool EvenInRam(std::uint32_t address) {
  return (address & ((kAddressMask & ~(kEmptyStart - 1)) | 1)) == 0;
}

// RAM that takes writes without the protection test: past the first 1 KB
// (of RAM, not of its mirrors), for any address.
PELLUX_ALWAYS_INLINE bool PlainRam(std::uint32_t address) {
  return InRam(address) && (address & (kEmptyStart - kProtectedEnd)) != 0;
}
}  // namespace bus

PELLUX_ALWAYS_INLINE std::uint32_t ReadByte(Calculator& m, std::uint32_t address) {
  if (bus::InRam(address)) return SignExtend8(m.ram[address & bus::kRamMask]);
  const std::uint32_t a = address & bus::kAddressMask;
  if (bus::ReadableFlash(m, a)) return SignExtend8(m.rom[a & bus::kFlashMask]);
  return bus::ReadByteRest(m, a);
}

PELLUX_ALWAYS_INLINE std::uint32_t ReadWord(Calculator& m, std::uint32_t address) {
  if (bus::EvenInRam(address)) return SignExtend16(LoadBe16(&m.ram[address & bus::kRamMask]));
  if (bus::AddressFault(m, address)) return 1;
  const std::uint32_t a = address & bus::kAddressMask;
  if (bus::ReadableFlash(m, a)) return SignExtend16(LoadBe16(&m.rom[a & bus::kFlashMask]));
  return bus::ReadWordRest(m, a);
}

PELLUX_ALWAYS_INLINE std::uint32_t ReadLong(Calculator& m, std::uint32_t address) {
  // A long at the end of a 64 KB stretch wraps through the mirrors: the rest.
  const bool wraps = (address & 0xFFFF) == 0xFFFE;
  if (bus::EvenInRam(address) && !wraps) return LoadBe32(&m.ram[address & bus::kRamMask]);
  if (bus::AddressFault(m, address)) return 1;
  const std::uint32_t a = address & bus::kAddressMask;
  if (bus::ReadableFlash(m, a) && !wraps) return LoadBe32(&m.rom[a & bus::kFlashMask]);
  return bus::ReadLongRest(m, address);
}

PELLUX_ALWAYS_INLINE void WriteByte(Calculator& m, std::uint32_t address, std::uint32_t value) {
  if (bus::PlainRam(address)) {
    m.ram[address & bus::kRamMask] = static_cast<std::uint8_t>(value);
    return;
  }
  bus::WriteByteRest(m, address & bus::kAddressMask, value);
}

PELLUX_ALWAYS_INLINE void WriteWord(Calculator& m, std::uint32_t address, std::uint32_t value) {
  if (bus::EvenInRam(address) && bus::PlainRam(address)) {
    StoreBe16(&m.ram[address & bus::kRamMask], value);
    return;
  }
  if (bus::AddressFault(m, address)) return;
  bus::WriteWordRest(m, address & bus::kAddressMask, value);
}

PELLUX_ALWAYS_INLINE void WriteLong(Calculator& m, std::uint32_t address, std::uint32_t value) {
  if (bus::EvenInRam(address) && bus::PlainRam(address) && (address & 0xFFFF) != 0xFFFE) {
    StoreBe32(&m.ram[address & bus::kRamMask], value);
    return;
  }
  if (bus::AddressFault(m, address)) return;
  bus::WriteLongRest(m, address, value);
}

// The instruction stream. The core fetches every opcode and extension word
// through these (found for Calculator before the generic fetch of
// cpu/instruction_stream.h): inside the fetch window (machine/fetch_window.h)
// a word is one test and one load; anywhere else the rest sets the window
// for the new PC and reads through the bus as any other read, so an odd PC,
// the empty region, the ports and the flash's status mode behave exactly as
// the bus makes them.
namespace bus {
[[gnu::cold]] std::uint32_t FetchWordRest(Calculator& m);
[[gnu::cold]] std::uint32_t FetchLongRest(Calculator& m);
}  // namespace bus

// Whether the word at the PC lies in the fetch window: outside it the
// threaded chain leaves the fetch to the run loop.
PELLUX_ALWAYS_INLINE bool FetchIsQuick(const Calculator& m) {
  return m.fetch.HoldsWord(m.cpu.pc);
}

// The opcode word at a PC inside the window; the PC itself does not move.
PELLUX_ALWAYS_INLINE std::uint32_t OpcodeAt(Calculator& m, std::uint32_t pc) {
  return LoadBe16(m.fetch.At(pc));
}

PELLUX_ALWAYS_INLINE std::uint32_t FetchWord(Calculator& m) {
  if (FetchIsQuick(m)) [[likely]] {
    const std::uint32_t pc = m.cpu.pc;
    m.cpu.pc = pc + 2;
    return SignExtend16(LoadBe16(m.fetch.At(pc)));
  }
  return bus::FetchWordRest(m);
}

PELLUX_ALWAYS_INLINE std::uint32_t FetchLong(Calculator& m) {
  const std::uint32_t pc = m.cpu.pc;
  // Both words inside: a long on the stretch's last word goes to the bus.
  if (std::rotr(pc - m.fetch.start, 1) < m.fetch.longs) [[likely]] {
    m.cpu.pc = pc + 4;
    return LoadBe32(m.fetch.At(pc));
  }
  return bus::FetchLongRest(m);
}

// Side-effect-free access for the debuggers and tools: never through the
// bus, so looking at a port or the flash never changes it.

// The byte a read at the address would give, except that flash shows its
// contents in every command state and a port shows its byte as stored.
std::uint8_t PeekByte(const Calculator& m, std::uint32_t address);

// Whether a debugger may store a byte at the address: RAM (protected or
// not), the flash image, and the ports whose writes the processor's own
// writes would store (PortTakesPokes). Not the empty region, not the ports
// whose writes act on the machine or are ignored, not 0x700000 and up where
// the bus drops writes.
bool CanPoke(std::uint32_t address);

// Stores a byte as a debugger patches memory: RAM directly, the flash image
// directly (never the command state machine), a port as the processor's
// write would (its write mask, the LCD base, the keyboard rows). Answers
// whether it was stored; nothing changes where CanPoke says no.
bool PokeByte(Calculator& m, std::uint32_t address, std::uint8_t value);

// The bytes from the address on, all or none: nothing is stored unless
// every byte can be.
bool PokeBytes(Calculator& m, std::uint32_t address, std::span<const std::uint8_t> bytes);

// The image bytes a listing from the address reads, from there to the end of
// that image: below 0x200000 the RAM at address & 0x3FFFF, any other address
// the flash at address & 0x1FFFFF (so the empty region and the ports list the
// flash bytes behind them).
std::span<const std::uint8_t> ImageFrom(const Calculator& m, std::uint32_t address);

// The core on this bus is compiled once, in machine/calculator_core.cpp: a
// file that includes the run loop (the watching core) must not instantiate
// all its handlers again.
extern template void Reset<Calculator>(Calculator&);
extern template RunResult RunInstructions<Calculator>(Calculator&, std::uint32_t, const BreakpointSet*);
extern template RunState StepInstruction<Calculator>(Calculator&);

}  // namespace pellux
