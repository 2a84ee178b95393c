// Little-endian numbers in host byte buffers: the order of the machine's
// own files (saved states), whatever the host.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pellux {

// The count-byte number at p (count 1..8).
inline std::uint64_t LoadLe(const std::uint8_t* p, std::size_t count) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < count; ++i) value |= std::uint64_t{p[i]} << (8 * i);
  return value;
}

// The low count bytes of value at p.
inline void StoreLe(std::uint8_t* p, std::uint64_t value, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace pellux
