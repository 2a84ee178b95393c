#include "debugger/listing.h"

#include <algorithm>
#include <cstdio>

#include "debugger/numbers.h"
#include "debugger/disassembler.h"
#include "debugger/symbols.h"

namespace pellux {
namespace {

// The listing's operand buffer: room enough for any operand text.
constexpr std::size_t kOperandCapacity = 64;

}  // namespace

ListingLine FormatListingLine(std::span<const std::uint8_t> buffer, std::size_t offset, std::uint32_t address,
                              const BreakpointSet& breakpoints) {
  if (offset >= buffer.size() || buffer.size() - offset < 2) return {};
  const std::span<const std::uint8_t> code = buffer.subspan(offset);
  char mnemonic[kMnemonicCapacity];
  char operands[kOperandCapacity];
  const std::uint32_t length = Disassemble(code, address, mnemonic, operands);

  // Extension-word columns: the first two blank-padded, the last two empty.
  char words[4][5];
  for (std::uint32_t i = 0; i < 4; ++i) {
    const std::uint32_t at = 2 + 2 * i;
    if (length >= at + 2) {
      std::snprintf(words[i], sizeof words[i], "%.4x", static_cast<unsigned>(code[at] << 8 | code[at + 1]));
    } else {
      std::snprintf(words[i], sizeof words[i], "%s", i < 2 ? "    " : "");
    }
  }
  char text[160];
  const int size = std::snprintf(text, sizeof text, "%c%.6x: %.4x %s %s %s %s %-8s %s",
                                 breakpoints.Contains(address) ? '!' : ' ', address,
                                 static_cast<unsigned>(code[0] << 8 | code[1]), words[0], words[1], words[2],
                                 words[3], mnemonic, operands);
  const std::size_t kept =
      size < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(size), sizeof text - 1);
  return {std::string(text, kept), length, operands};
}

std::string OperandSymbol(std::string_view operands, const SymbolTable& symbols) {
  while (!operands.empty()) {
    const std::size_t comma = operands.find(", ");
    std::string_view operand = operands.substr(0, comma);
    operands.remove_prefix(comma == std::string_view::npos ? operands.size() : comma + 2);
    // "pc:401234" and "pc:401234(d0.w)" name their address; a bare run of
    // 4 to 8 hex digits is an absolute address or a branch target.
    if (operand.starts_with("pc:")) operand = operand.substr(3, 6);
    if (operand.size() < 4) continue;
    const std::optional<std::uint32_t> parsed = ParseTypedHex(operand);
    if (!parsed) continue;
    const std::uint32_t address = *parsed;
    std::string name = symbols.Describe(address & 0xFFFFFF);
    if (!name.empty()) return name;
  }
  return {};
}

std::uint32_t PreviousInstruction(std::span<const std::uint8_t> code, std::uint32_t codeAddress,
                                  std::uint32_t address) {
  const std::uint32_t room = (address - codeAddress) & ~1u;
  if (room == 0 || room > code.size()) return address;
  for (std::uint32_t back = room; back >= 2; back -= 2) {
    std::size_t offset = room - back;
    std::uint32_t at = address - back;
    std::uint32_t last = at;
    bool valid = true;
    while (valid && at < address) {
      char mnemonic[kMnemonicCapacity];
      char operands[kOperandCapacity];
      const std::uint32_t length = Disassemble(code.subspan(offset), at, mnemonic, operands);
      valid = mnemonic[0] != '?' && length >= 2;
      last = at;
      at += length;
      offset += length;
    }
    if (valid && at == address) return last;
  }
  return address - 2;
}

}  // namespace pellux
