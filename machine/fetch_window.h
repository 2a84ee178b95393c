// Where the calculator's instruction stream is read without the bus: the
// stretch of RAM or readable flash that holds the PC, as host memory.
#pragma once

#include <cstdint>

namespace pellux {

// The stretch is a power of two in size and aligned on it (the RAM, or the
// flash chip), so a PC is inside it for a word when its bits above the
// stretch's size, and bit 0, are those of start: one AND and one compare,
// and an odd PC never takes the window and faults on the bus as any odd word
// read does. A long needs both its words inside: offset rotated right by
// one (bit 0 to the top) below `longs`. Empty (start odd, so no PC matches)
// until the first fetch outside it sets it again from the bus's map, so a PC
// that jumps, traps or runs off its stretch is checked anew at its next
// fetch.
//
// It is a cache of the memory map, never saved and never copied: a copy of
// the machine starts with it empty, since it points into the original's
// buffers. Whatever changes what a stretch reads (the flash leaving or
// entering its read mode, a state loaded, the buffers replaced) empties it.
struct FetchWindow {
  std::uint32_t start = 1;
  std::uint32_t wordMask = 0;  // the bits a PC shares with start: above the size, and bit 0
  std::uint32_t longs = 0;     // size / 2 - 1: a long needs both its words inside
  // The host address of the stretch's first byte less `start`: the PC's
  // bytes are at host + pc, one addition with no offset to work out first.
  std::uintptr_t host = 0;

  FetchWindow() = default;
  FetchWindow(const FetchWindow&) noexcept {}
  FetchWindow& operator=(const FetchWindow&) noexcept {
    Clear();
    return *this;
  }

  // size a power of two, first a multiple of it.
  void Set(std::uint32_t first, std::uint32_t size, const std::uint8_t* bytes) {
    start = first;
    wordMask = ~(size - 1) | 1;
    longs = size / 2 - 1;
    host = reinterpret_cast<std::uintptr_t>(bytes) - first;
  }
  void Clear() {
    start = 1;
    wordMask = 0;
    longs = 0;
  }

  bool HoldsWord(std::uint32_t pc) const { return (pc & wordMask) == start; }

  // Where the bytes at pc are, for a pc inside the window.
  const std::uint8_t* At(std::uint32_t pc) const { return reinterpret_cast<const std::uint8_t*>(host + pc); }
};

}  // namespace pellux
