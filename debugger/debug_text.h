// Texts of the debugger's views that need no window: the register lines, the
// memory lines, and the address entry (hex or a symbol).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "cpu/cpu_state.h"

namespace pellux {

class SymbolTable;

// The registers the Debug dialog shows and edits. D0-D7 and A0-A7 are 0..15;
// A7 is the active stack pointer, USP and SSP the two stacks by name.
enum class RegisterId : std::uint8_t {
  D0 = 0,
  A0 = 8,
  A7 = 15,
  Pc = 16,
  Sr = 17,
  Usp = 18,
  Ssp = 19,
};

std::uint32_t RegisterValue(const CpuState& cpu, RegisterId id);
// Sets a register as the debugger edits it: SR takes its 68000 bits only
// (T, S, the mask, X N Z V C) and S moves A7 between the stacks; nothing is
// run, so an interrupt the new mask lets through waits for its next request.
void SetRegister(CpuState& cpu, RegisterId id, std::uint32_t value);
// The register's hex digits: 4 for SR, 8 for the others.
int RegisterDigits(RegisterId id);

// One line of the register view; `id` names the register a line shows
// (none for the lines that spell out the status register).
struct RegisterRow {
  std::string text;
  std::optional<RegisterId> id;
};

// "D0:00000000" .. "D7:", "A0:" .. "A7:", "PC:", "SR:2700",
// "T:0 S:1 Mask:7", "C:0 V:0 Z:0 N:0 X:0", "USP:", "SSP:".
std::vector<RegisterRow> RegisterRows(const CpuState& cpu);

// One register line: the label joined to "%.8x" of the value.
std::string RegisterLine(std::string_view label, std::uint32_t value);

// Bytes per line of the memory view.
inline constexpr std::uint32_t kMemoryLineBytes = 16;

// "401230: 4e 71 4e 75 ... 00  Nq.u............" for the bytes at address.
std::string MemoryLine(std::uint32_t address, std::span<const std::uint8_t, kMemoryLineBytes> bytes);

// An address typed by the user: hex as ParseTypedHex (debugger/numbers.h), or a symbol's name with an
// optional "+offset" in hex ("main", "draw_text+0x1a"). Answers the address,
// or the message to show.
using AddressEntry = Result<std::uint32_t>;
AddressEntry ParseAddressEntry(std::string_view text, const SymbolTable& symbols);

// "%.8x" of a breakpoint address.
std::string BreakpointLine(std::uint32_t address);

// Why the processor will hardly stop at a breakpoint at that address (odd,
// or above the 24 address lines' 16 MB), or an empty text when it may.
std::string BreakpointWarning(std::uint32_t address);

}  // namespace pellux
