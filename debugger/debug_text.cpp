#include "debugger/debug_text.h"

#include <cstdio>

namespace pellux {

std::string RegisterLine(std::string_view label, std::uint32_t value) {
  char digits[9];
  std::snprintf(digits, sizeof digits, "%.8x", value);
  return std::string(label) + digits;
}

std::vector<std::string> RegisterLines(const CpuState& cpu) {
  std::vector<std::string> lines;
  lines.reserve(18);
  char label[8];
  for (unsigned i = 0; i < 8; ++i) {
    std::snprintf(label, sizeof label, "D%u:", i);
    lines.push_back(RegisterLine(label, cpu.d(i)));
  }
  for (unsigned i = 0; i < 8; ++i) {
    std::snprintf(label, sizeof label, "A%u:", i);
    lines.push_back(RegisterLine(label, cpu.a(i)));
  }
  lines.push_back(RegisterLine("PC:", cpu.pc));
  char flags[24];
  auto bit = [](std::uint8_t flag) { return (flag & 1) ? '1' : '0'; };
  std::snprintf(flags, sizeof flags, "C:%c V:%c Z:%c N:%c X:%c", bit(cpu.c), bit(cpu.v), bit(cpu.z), bit(cpu.n),
                bit(cpu.x));
  lines.emplace_back(flags);
  return lines;
}

std::uint32_t ParseHexAddress(std::string_view text) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < text.size() && i < 8; ++i) {
    const char c = text[i];
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      break;
    }
    value = value * 16 + digit;
  }
  return value;
}

std::string BreakpointLine(std::uint32_t address) {
  char line[9];
  std::snprintf(line, sizeof line, "%.8x", address);
  return line;
}

}  // namespace pellux
