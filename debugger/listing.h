// The debugger's disassembly listing: one line per instruction, read straight
// from memory images, never through the bus.
//
//   "!401234: 4e71                nop      "
//
// A line is the breakpoint marker ('!' or a blank), the address, the opcode
// word, four columns of extension words and the disassembly. The first two
// extension columns are four blanks when the instruction is shorter, the last
// two empty, so instructions of up to 6 bytes keep the mnemonic in one column.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "cpu/breakpoint_set.h"

namespace pellux {

struct ListingLine {
  std::string text;
  std::uint32_t length = 0;  // bytes the instruction occupies, cut to the buffer
};

// The line for the instruction at buffer[offset], which stands at `address`.
// The instruction may not read past the end of the buffer. Fewer than 2
// bytes left: an empty line of length 0.
ListingLine FormatListingLine(std::span<const std::uint8_t> buffer, std::size_t offset, std::uint32_t address,
                              const BreakpointSet& breakpoints);

// Lists up to maxLines instructions from the start of `code`, which stands at
// `address`, calling visit(const ListingLine&) for each. Stops at the end of
// the bytes (it never wraps) or when fewer than 2 are left. The calculator's
// images are listed through ImageFrom (machine/memory_bus.h).
template <class Visit>
void ListInstructions(std::span<const std::uint8_t> code, std::uint32_t address, std::size_t maxLines,
                      const BreakpointSet& breakpoints, Visit&& visit) {
  std::size_t offset = 0;
  for (std::size_t lines = 0; lines < maxLines && offset + 2 <= code.size(); ++lines) {
    const ListingLine line = FormatListingLine(code, offset, address, breakpoints);
    visit(line);
    offset += line.length;
    address += line.length;
  }
}

}  // namespace pellux
