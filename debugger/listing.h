// The debugger's disassembly listing: one line per instruction, read straight
// from the RAM and flash images, never through the bus.
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
#include <string_view>

#include "cpu/breakpoint_set.h"

namespace pellux {

class SymbolTable;

struct ListingLine {
  std::string text;
  std::uint32_t length = 0;  // bytes the instruction occupies, cut to the buffer
  std::string operands;      // the operand text alone
};

// The line for the instruction at buffer[offset], which stands at `address`.
// The instruction may not read past the end of the buffer. Fewer than 2
// bytes left: an empty line of length 0.
ListingLine FormatListingLine(std::span<const std::uint8_t> buffer, std::size_t offset, std::uint32_t address,
                              const BreakpointSet& breakpoints);

// Where a listing from `start` reads: an address below 0x200000 in the RAM
// image at start & 0x3FFFF, any other in the flash image at start & 0x1FFFFF,
// which shows flash bytes also where the bus answers otherwise (the empty
// region and the ports).
struct ListingSource {
  std::span<const std::uint8_t> buffer;
  std::size_t offset = 0;
};

ListingSource ChooseListingSource(std::span<const std::uint8_t> ram, std::span<const std::uint8_t> flash,
                                  std::uint32_t start);

// Lists up to maxLines instructions from `start`, calling visit(const
// ListingLine&) for each. Stops at the end of the buffer (it never wraps) or
// when fewer than 2 bytes are left.
template <class Visit>
void ListInstructions(std::span<const std::uint8_t> ram, std::span<const std::uint8_t> flash,
                      std::uint32_t start, std::size_t maxLines, const BreakpointSet& breakpoints,
                      Visit&& visit) {
  const ListingSource source = ChooseListingSource(ram, flash, start);
  std::size_t offset = source.offset;
  std::uint32_t address = start;
  for (std::size_t lines = 0; lines < maxLines && offset + 2 <= source.buffer.size(); ++lines) {
    const ListingLine line = FormatListingLine(source.buffer, offset, address, breakpoints);
    visit(line);
    offset += line.length;
    address += line.length;
  }
}

// The symbol an instruction's operands point at: a branch target, a
// PC-relative or absolute address ("bsr 400120" gives "main"), the first
// one that a symbol covers; empty when none does.
std::string OperandSymbol(std::string_view operands, const SymbolTable& symbols);

// The address of the instruction that ends where `address` starts, for
// scrolling a listing back: decoding from a few words further back, the
// first run of valid instructions that lands exactly on the address decides.
// address - 2 when none does; the start of the buffer stops it.
std::uint32_t PreviousInstruction(std::span<const std::uint8_t> ram, std::span<const std::uint8_t> flash,
                                  std::uint32_t address);

}  // namespace pellux
