// The calculator bus's out-of-line decoding. The inline accesses of
// memory_bus.h take plain RAM and readable flash themselves and hand every
// other address here; these functions decode any address completely.
// Addresses named a are already masked to 24 bits.
#include "machine/memory_bus.h"

#include <bit>

namespace pellux::bus {

std::uint32_t ReadByteRest(Calculator& m, std::uint32_t a) {
  if (a < kEmptyStart) return SignExtend8(m.ram[a & kRamMask]);
  if (a < kFlashStart) return 0;
  if (a < kPortStart) {
    if (m.flashState == FlashState::StatusRead) return 0xFFFFFFFF;
    return SignExtend8(m.rom[a & kFlashMask]);
  }
  return SignExtend8(PortRead(m, a));
}

std::uint32_t ReadWordRest(Calculator& m, std::uint32_t a) {
  if (a < kEmptyStart) return SignExtend16(LoadBe16(&m.ram[a & kRamMask]));
  if (a < kFlashStart) return 0;
  if (a < kPortStart) {
    if (m.flashState == FlashState::StatusRead) return 0xFFFFFFFF;
    return SignExtend16(LoadBe16(&m.rom[a & kFlashMask]));
  }
  const std::uint32_t high = PortRead(m, a);
  return SignExtend16(high << 8 | PortRead(m, a + 1));
}

std::uint32_t ReadLongRest(Calculator& m, std::uint32_t address) {
  const std::uint32_t a = address & kAddressMask;
  // A long at the end of a 64 KB stretch wraps through the mirrors; ports are
  // read one byte at a time in ascending order.
  if ((a & 0xFFFF) == 0xFFFE || a >= kPortStart) {
    const std::uint32_t high = ReadWord(m, address);
    return high << 16 | (ReadWord(m, address + 2) & 0xFFFF);
  }
  if (a < kEmptyStart) return LoadBe32(&m.ram[a & kRamMask]);
  if (a < kFlashStart) return 0;
  if (m.flashState == FlashState::StatusRead) return 0xFFFFFFFF;
  return LoadBe32(&m.rom[a & kFlashMask]);
}

void WriteByteRest(Calculator& m, std::uint32_t a, std::uint32_t value) {
  if (a < kEmptyStart) {
    if (!WriteProtected(m, a)) m.ram[a & kRamMask] = static_cast<std::uint8_t>(value);
  } else if (a < kPortStart) {
    // The flash sees whole words: a byte is repeated in both halves.
    FlashWrite(m, a & kFlashMask & ~1u, (value & 0xFF) * 0x0101);
  } else {
    PortWrite(m, a, static_cast<std::uint8_t>(value));
  }
}

void WriteWordRest(Calculator& m, std::uint32_t a, std::uint32_t value) {
  if (a < kEmptyStart) {
    if (!WriteProtected(m, a)) StoreBe16(&m.ram[a & kRamMask], value);
  } else if (a < kPortStart) {
    FlashWrite(m, a & kFlashMask, value & 0xFFFF);
  } else {
    PortWrite(m, a, static_cast<std::uint8_t>(value >> 8));
    PortWrite(m, a + 1, static_cast<std::uint8_t>(value));
  }
}

void WriteLongRest(Calculator& m, std::uint32_t address, std::uint32_t value) {
  const std::uint32_t a = address & kAddressMask;
  if (a < kEmptyStart && (a & 0xFFFF) < 0xFFFE) {
    if (!WriteProtected(m, a)) StoreBe32(&m.ram[a & kRamMask], value);
    return;
  }
  WriteWord(m, address, value >> 16);
  WriteWord(m, address + 2, value);
}

namespace {
// Sets the fetch window to the stretch that holds pc, or empties it where
// the bus must see every read: the empty region, the ports, the flash in its
// status mode. An odd pc takes its even neighbour's stretch but still misses
// the window, so that it faults on the bus.
void SetFetchWindow(Calculator& m, std::uint32_t pc) {
  static_assert(std::has_single_bit(kRamSize) && std::has_single_bit(kRomSize), "a window is aligned on its size");
  const std::uint32_t a = pc & kAddressMask;
  if (a < kEmptyStart) {
    m.fetch.Set(pc & ~kRamMask, kRamSize, m.ram.data());
  } else if (ReadableFlash(m, a)) {
    m.fetch.Set(pc & ~kFlashMask, kRomSize, m.rom.data());
  } else {
    m.fetch.Clear();
  }
}
}  // namespace

std::uint32_t FetchWordRest(Calculator& m) {
  const std::uint32_t pc = m.cpu.pc;
  SetFetchWindow(m, pc);
  const std::uint32_t word = ReadWord(m, pc);
  m.cpu.pc = pc + 2;
  return word;
}

std::uint32_t FetchLongRest(Calculator& m) {
  const std::uint32_t pc = m.cpu.pc;
  SetFetchWindow(m, pc);
  const std::uint32_t value = ReadLong(m, pc);
  m.cpu.pc = pc + 4;
  return value;
}

}  // namespace pellux::bus

namespace pellux {

std::uint8_t PeekByte(const Calculator& m, std::uint32_t address) {
  const std::uint32_t a = address & bus::kAddressMask;
  if (a < bus::kEmptyStart) return m.ram[a & bus::kRamMask];
  if (a < bus::kFlashStart) return 0;
  if (a < bus::kPortStart) return m.rom[a & bus::kFlashMask];
  return PortPeek(m, a);
}

bool CanPoke(std::uint32_t address) {
  const std::uint32_t a = address & bus::kAddressMask;
  if (a < bus::kEmptyStart) return true;
  if (a < bus::kFlashStart) return false;
  if (a < bus::kPortStart) return true;
  return PortTakesPokes(a);
}

bool PokeByte(Calculator& m, std::uint32_t address, std::uint8_t value) {
  if (!CanPoke(address)) return false;
  const std::uint32_t a = address & bus::kAddressMask;
  if (a < bus::kEmptyStart) {
    m.ram[a & bus::kRamMask] = value;
  } else if (a < bus::kPortStart) {
    m.rom[a & bus::kFlashMask] = value;
  } else {
    PortWrite(m, a, value);
  }
  return true;
}

bool PokeBytes(Calculator& m, std::uint32_t address, std::span<const std::uint8_t> bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (!CanPoke(address + static_cast<std::uint32_t>(i))) return false;
  }
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    PokeByte(m, address + static_cast<std::uint32_t>(i), bytes[i]);
  }
  return true;
}

std::span<const std::uint8_t> ImageFrom(const Calculator& m, std::uint32_t address) {
  if (address < bus::kEmptyStart) return std::span(m.ram).subspan(address & bus::kRamMask);
  return std::span(m.rom).subspan(address & bus::kFlashMask);
}

}  // namespace pellux
