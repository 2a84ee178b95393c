#include "debugger/listing.h"

#include <algorithm>
#include <cstdio>

#include "debugger/disassembler.h"

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
  return {std::string(text, kept), length};
}

}  // namespace pellux
