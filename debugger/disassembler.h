// The MC68000 disassembler: one instruction, given as bytes, to a mnemonic and
// an operand text in lower-case Motorola syntax.
//
// A pure function of the bytes it is handed: it keeps no state, never reads
// the emulated bus (so listing a port or the flash changes nothing) and never
// reads past the bytes it is given, whatever they hold. It decodes through
// the processor's own instruction table (cpu/instruction_set.h), so what it
// lists and what the core runs are one decision.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "cpu/instruction_set.h"

namespace pellux {

// Room for the longest mnemonic ("movem.l") and its terminator.
inline constexpr std::size_t kMnemonicCapacity = isa::kLongestMnemonic + 1;

// Disassembles the instruction at the start of `code` (big-endian, as in the
// calculator's memory), which stands at `address`; code.size() is how many
// bytes may be read. Fills `mnemonic` and `operands` (always terminated when
// it has room; cut to its capacity) and returns the instruction's length in
// bytes, cut to code.size(). Extension words past the end read as 0. An
// opcode that is no MC68000 instruction gives "?", no operands and length 2.
// Fewer than 2 bytes hold no opcode: "?", and the length is code.size().
std::uint32_t Disassemble(std::span<const std::uint8_t> code, std::uint32_t address,
                          char (&mnemonic)[kMnemonicCapacity], std::span<char> operands);

// The pieces Disassemble is built from, usable on their own.
namespace disasm {

enum class OpSize : std::uint8_t { Byte = 1, Word = 2, Long = 4 };

// The addressing-mode classes, shared with the processor's instruction table.
using pellux::EaClass;
using pellux::InClass;

// Reads an instruction's extension words in order, counting the bytes
// consumed. Reads past the available bytes still advance the position but
// yield 0.
class InstructionReader {
 public:
  InstructionReader(std::span<const std::uint8_t> code, std::uint32_t address)
      : code_(code), address_(address) {}

  // The next word, sign-extended to 32 bits.
  std::uint32_t ReadExtensionWord();
  // The next long.
  std::uint32_t ReadExtensionLong();

  // Bytes consumed so far, the opcode word included.
  std::uint32_t position() const { return position_; }
  std::uint32_t address() const { return address_; }

 private:
  std::span<const std::uint8_t> code_;
  std::uint32_t address_;
  std::uint32_t position_ = 2;
};

// Copies text to cursor without its terminator when it fits in [cursor, end)
// with a byte to spare, and returns the advanced cursor. When it does not fit,
// copies what fits less one byte, terminates in the last byte and returns
// end, after which appends add nothing.
char* AppendText(char* cursor, char* end, std::string_view text);

// The effective address of mode and reg at the operation size, reading its
// extension words from the reader.
std::string FormatEa(InstructionReader& reader, OpSize size, unsigned mode, unsigned reg);

// "#%d" within -255..255, else "#0x%.4x" (word) or "#0x%.8x" (long).
std::string FormatImmediate(OpSize size, std::int32_t value);

// Reads an immediate of the size (a byte is the low byte of one word) and formats it.
std::string ReadImmediate(InstructionReader& reader, OpSize size);

// A MOVEM register list, bit 0 = d0 ... bit 15 = a7: "d0-d2/d7/a0", "?" for none.
std::string FormatRegisterList(std::uint16_t mask);

// "%.6x" of the 24-bit target address + 2 + displacement.
std::string FormatBranchTarget(std::uint32_t address, std::int32_t displacement);

enum class ConditionKind : std::uint8_t { Branch = 0, Set = 1, DecrementAndBranch = 2 };

// The mnemonic of condition cc (0..15) for Bcc, Scc or DBcc.
const char* ConditionName(ConditionKind kind, unsigned cc);

}  // namespace disasm
}  // namespace pellux
