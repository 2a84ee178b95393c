// Where the calculator's instruction stream is read without the bus: the
// stretch of RAM or readable flash that holds the PC, as host memory.
#pragma once

#include <cstdint>

namespace pellux {

// A PC at start + offset is read at data + offset when offset is even and
// inside the stretch: offset rotated right by one (bit 0, the odd PC, to the
// top) is below `words` for a word and below `longs` for a long, so one
// compare covers both, and an odd PC never takes the window and faults on
// the bus as any odd word read does. Empty (no words) until the first fetch
// outside it sets it again from the bus's map, so a PC that jumps, traps or
// runs off its stretch is checked anew at its next fetch.
//
// It is a cache of the memory map, never saved and never copied: a copy of
// the machine starts with it empty, since it points into the original's
// buffers. Whatever changes what a stretch reads (the flash leaving or
// entering its read mode, a state loaded, the buffers replaced) empties it.
struct FetchWindow {
  std::uint32_t start = 0;
  std::uint32_t words = 0;  // the stretch's size / 2
  std::uint32_t longs = 0;  // words - 1: a long needs both its words inside
  // The host address of the stretch's first byte less `start`: the PC's
  // bytes are at host + pc, one addition with no offset to work out first.
  std::uintptr_t host = 0;

  FetchWindow() = default;
  FetchWindow(const FetchWindow&) noexcept {}
  FetchWindow& operator=(const FetchWindow&) noexcept {
    Clear();
    return *this;
  }

  void Set(std::uint32_t first, std::uint32_t size, const std::uint8_t* bytes) {
    start = first;
    words = size / 2;
    longs = words - 1;
    host = reinterpret_cast<std::uintptr_t>(bytes) - first;
  }
  void Clear() { words = longs = 0; }

  // Where the bytes at pc are, for a pc inside the window.
  const std::uint8_t* At(std::uint32_t pc) const { return reinterpret_cast<const std::uint8_t*>(host + pc); }
};

}  // namespace pellux
