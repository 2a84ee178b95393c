// Where the calculator's instruction stream is read without the bus: the
// stretch of RAM or readable flash that holds the PC, as host memory.
#pragma once

#include <cstdint>

namespace pellux {

// A PC at start + offset is read at data + offset while offset has none of
// the bits of `outside`: those past the stretch's power-of-two size, and
// bit 0, so that an odd PC never takes the window and faults on the bus as
// any odd word read does. Empty (every bit outside) until the first fetch
// outside it sets it again from the bus's map, so a PC that jumps, traps or
// runs off its stretch is checked anew at its next fetch.
//
// It is a cache of the memory map, never saved and never copied: a copy of
// the machine starts with it empty, since `data` points into the original's
// buffers. Whatever changes what a stretch reads (the flash leaving or
// entering its read mode, a state loaded, the buffers replaced) empties it.
struct FetchWindow {
  std::uint32_t start = 0;
  std::uint32_t outside = ~0u;
  const std::uint8_t* data = nullptr;

  FetchWindow() = default;
  FetchWindow(const FetchWindow&) noexcept {}
  FetchWindow& operator=(const FetchWindow&) noexcept {
    Clear();
    return *this;
  }

  void Clear() { outside = ~0u; }
};

}  // namespace pellux
