#include "link/file_bytes.h"

#include <algorithm>
#include <cstdio>

namespace pellux::filebytes {

std::string FieldText(std::span<const std::uint8_t> b, std::size_t at, std::size_t width) {
  const auto field = b.subspan(at, width);
  const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
  return {field.begin(), end};
}

void PutField(std::vector<std::uint8_t>& out, std::string_view text, std::size_t width) {
  const std::size_t length = std::min(text.size(), width);
  out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
  out.insert(out.end(), width - length, 0);
}

std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F) {
      quoted += c;
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      quoted += escape;
    }
  }
  return quoted + "\"";
}

std::string Hex(std::uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

}  // namespace pellux::filebytes
