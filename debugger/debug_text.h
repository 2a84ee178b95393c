// Texts of the debugger's views that need no window: the register lines and
// the breakpoint address entry.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cpu/cpu_state.h"

namespace pellux {

// "D0:00000000" .. "D7:", "A0:" .. "A7:", "PC:", then "C:0 V:0 Z:0 N:0 X:0".
std::vector<std::string> RegisterLines(const CpuState& cpu);

// One register line: the label joined to "%.8x" of the value.
std::string RegisterLine(std::string_view label, std::uint32_t value);

// Up to 8 hex digits from the start of the text, either case; the first
// other character (the end included) ends the scan. "0x12" gives 0.
std::uint32_t ParseHexAddress(std::string_view text);

// "%.8x" of a breakpoint address.
std::string BreakpointLine(std::uint32_t address);

}  // namespace pellux
