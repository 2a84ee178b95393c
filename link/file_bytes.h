// Small helpers shared by the readers and writers of the calculator's files
// on the computer and of the link's packets: numbers in both byte orders,
// fixed-width name fields, text from a file quoted for a message, numbers in
// hex for one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pellux::filebytes {

// The caller has checked that the bytes are there.
inline std::uint16_t Le16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}
inline std::uint32_t Le32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
         static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
inline std::uint16_t Be16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] << 8 | b[at + 1]);
}

inline void PutLe16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}
inline void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  PutLe16(out, value & 0xFFFF);
  PutLe16(out, value >> 16);
}

// A text field of `width` bytes: the text up to its first zero byte.
std::string FieldText(std::span<const std::uint8_t> b, std::size_t at, std::size_t width);

// Appends the text padded with zeros to `width` bytes (cut at `width`).
void PutField(std::vector<std::uint8_t>& out, std::string_view text, std::size_t width);

// The text in double quotes, bytes outside printable ASCII as \xNN.
std::string Quoted(std::string_view text);

// "0x1F", "0x0023".
std::string Hex(std::uint32_t value, int digits = 2);

}  // namespace pellux::filebytes
