#include "tools/disasm_cli.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cpu/breakpoint_set.h"
#include "debugger/disassembler.h"
#include "debugger/listing.h"
#include "io/files.h"
#include "tools/arguments.h"

namespace pellux {
namespace {

constexpr std::uint32_t kFlashBase = 0x400000;
constexpr std::size_t kFlashSize = 0x200000;

constexpr std::string_view kUsage =
    "usage: pellux-disasm FILE [ADDRESS [LINES]]\n"
    "Lists the 68000 instructions in FILE, read as the calculator's flash image at\n"
    "0x400000 (its first 2 MB), in the debugger's listing format.\n"
    "  ADDRESS  where to start, in hexadecimal with or without 0x (default 400000)\n"
    "  LINES    how many lines, in decimal (default: to the end of the file)\n"
    "An instruction that the end of the file cuts off is marked so.\n";

enum ExitCode { kDone = 0, kCannotList = 1, kBadArguments = 2 };

constexpr OptionSpec kOptions[] = {{"-h", false}, {"--help", false}};
// The longest MC68000 instruction, and room for any operand text.
constexpr std::size_t kLongestInstruction = 10;
constexpr std::size_t kOperandRoom = 64;

int BadArguments(std::ostream& err, std::string_view problem) {
  err << "pellux-disasm: " << problem << "\n" << kUsage;
  return kBadArguments;
}

// The file's first 2 MB, or a message saying why it cannot be listed.
struct Image {
  std::vector<std::uint8_t> bytes;
  std::string problem;
  bool truncated = false;
};

Image ReadImage(const std::string& path) {
  InputFile file = ReadInputFile(path, kFlashSize, OverLimit::Cut);
  Image image;
  if (FailedWith(file, FileError::ReadFailed)) {
    image.problem = "cannot read " + Quoted(path, 200) + ": " + file.message();
  } else if (!file.ok()) {
    image.problem = "cannot open " + Quoted(path, 200) + ": " + file.message();
  } else if (file->bytes.empty()) {
    image.problem = Quoted(path, 200) + " is empty";
  }
  if (file.ok()) {
    image.bytes = std::move(file->bytes);
    image.truncated = file->truncated;
  }
  return image;
}

// The listing line, or for an instruction that the end of the file cuts
// off, its line with the disassembly replaced by what is missing: listed as
// it stands, the missing bytes would read as zero operands.
std::string LineText(const ListingLine& line, std::span<const std::uint8_t> rest, std::uint32_t address) {
  std::array<std::uint8_t, kLongestInstruction> padded{};
  std::copy_n(rest.begin(), std::min(rest.size(), padded.size()), padded.begin());
  char mnemonic[kMnemonicCapacity];
  char operands[kOperandRoom];
  const std::uint32_t whole = Disassemble(padded, address, mnemonic, operands);
  if (whole <= rest.size()) return line.text;
  // The line's text ends with the mnemonic column and the operands of the cut bytes.
  char cutMnemonic[kMnemonicCapacity];
  char cutOperands[kOperandRoom];
  Disassemble(rest, address, cutMnemonic, cutOperands);
  const std::size_t tail = std::max<std::size_t>(8, std::strlen(cutMnemonic)) + 1 + std::strlen(cutOperands);
  char note[96];
  std::snprintf(note, sizeof note, "%-8s <cut off: the file ends after %zu of its %u bytes>", mnemonic,
                rest.size(), static_cast<unsigned>(whole));
  return line.text.substr(0, line.text.size() - std::min(tail, line.text.size())) + note;
}

std::string Hex(std::uint32_t value) {
  char text[16];
  const auto result = std::to_chars(text, text + sizeof text, value, 16);
  return std::string(text, result.ptr);
}

}  // namespace

int RunDisasm(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
  const std::vector<std::string> arguments(args.begin(), args.end());
  const SplitArguments split = SplitCommandLine(arguments, kOptions);
  if (!split.ok()) return BadArguments(err, split.message());
  std::vector<std::string> operands;
  for (const Argument& argument : *split) {
    if (!argument.option.empty()) {
      out << kUsage;
      return kDone;
    }
    operands.push_back(argument.value);
  }
  if (operands.empty()) return BadArguments(err, "no FILE given");
  if (operands.size() > 3) return BadArguments(err, "too many arguments");

  std::uint32_t start = kFlashBase;
  if (operands.size() >= 2) {
    std::string_view text = operands[1];
    if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
    const ParsedNumber address = ParseUnsigned(text, 16, UINT32_MAX);
    if (FailedWith(address, NumberError::TooLarge)) {
      return BadArguments(err, "ADDRESS " + Quoted(operands[1]) + " is too large: at most ffffffff");
    }
    if (!address.ok()) {
      return BadArguments(err, "ADDRESS must be hexadecimal, not " + Quoted(operands[1]));
    }
    start = static_cast<std::uint32_t>(*address);
  }
  std::size_t maxLines = std::numeric_limits<std::size_t>::max();
  if (operands.size() == 3) {
    const ParsedNumber lines = ParseUnsigned(operands[2], 10, std::numeric_limits<std::size_t>::max());
    if (FailedWith(lines, NumberError::TooLarge)) {
      return BadArguments(err, "LINES " + Quoted(operands[2]) + " is too large");
    }
    if (!lines.ok() || *lines == 0) {
      return BadArguments(err, "LINES must be a positive decimal count, not " + Quoted(operands[2]));
    }
    maxLines = *lines;
  }

  const std::string& path = operands[0];
  const Image image = ReadImage(path);
  if (!image.problem.empty()) {
    err << "pellux-disasm: " << image.problem << "\n";
    return kCannotList;
  }
  if (image.truncated) {
    err << "pellux-disasm: note: " << Quoted(path, 200) << " is larger than 2 MB; listing its first 2 MB\n";
  }

  const std::uint32_t end = kFlashBase + static_cast<std::uint32_t>(image.bytes.size());
  if (start < kFlashBase || start >= end) {
    err << "pellux-disasm: address " << Hex(start) << " lies outside " << Quoted(path, 200)
        << ", which spans " << Hex(kFlashBase) << "-" << Hex(end - 1) << "\n";
    return kCannotList;
  }
  if (start & 1) {
    err << "pellux-disasm: address " << Hex(start) << " is odd; 68000 instructions start at even addresses\n";
    return kCannotList;
  }
  if (end - start < 2) {
    err << "pellux-disasm: " << Quoted(path, 200) << " holds no whole instruction word at " << Hex(start)
        << "\n";
    return kCannotList;
  }

  const BreakpointSet noBreakpoints;
  std::uint32_t address = start;
  ListInstructions(std::span<const std::uint8_t>(image.bytes).subspan(start - kFlashBase), start, maxLines,
                   noBreakpoints, [&](const ListingLine& line) {
                     out << LineText(line, std::span(image.bytes).subspan(address - kFlashBase), address)
                         << '\n';
                     address += line.length;
                   });
  out.flush();
  if (!out) {
    err << "pellux-disasm: cannot write the listing\n";
    return kCannotList;
  }
  return kDone;
}

}  // namespace pellux
