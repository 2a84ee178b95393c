#include "tools/disasm_cli.h"

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cpu/breakpoint_set.h"
#include "debugger/listing.h"

namespace pellux {
namespace {

constexpr std::uint32_t kFlashBase = 0x400000;
constexpr std::size_t kFlashSize = 0x200000;

constexpr std::string_view kUsage =
    "usage: pellux-disasm FILE [ADDRESS [LINES]]\n"
    "Lists the 68000 instructions in FILE, read as the calculator's flash image at\n"
    "0x400000 (its first 2 MB), in the debugger's listing format.\n"
    "  ADDRESS  where to start, in hexadecimal with or without 0x (default 400000)\n"
    "  LINES    how many lines, in decimal (default: to the end of the file)\n";

enum ExitCode { kDone = 0, kCannotList = 1, kBadArguments = 2 };

std::optional<std::uint32_t> ParseAddress(std::string_view text) {
  if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<std::size_t> ParseLines(std::string_view text) {
  std::size_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size() || value == 0) {
    return std::nullopt;
  }
  return value;
}

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
  Image image;
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) {
    image.problem = path + ": no such file";
    return image;
  }
  if (std::filesystem::is_directory(status)) {
    image.problem = path + " is a directory, not a file";
    return image;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    image.problem = "cannot open " + path + " for reading";
    return image;
  }
  image.bytes.resize(kFlashSize + 1);
  in.read(reinterpret_cast<char*>(image.bytes.data()), static_cast<std::streamsize>(image.bytes.size()));
  if (in.bad()) {
    image.problem = "cannot read " + path;
    return image;
  }
  image.bytes.resize(static_cast<std::size_t>(in.gcount()));
  if (image.bytes.empty()) image.problem = path + " is empty";
  if (image.bytes.size() > kFlashSize) {
    image.bytes.resize(kFlashSize);
    image.truncated = true;
  }
  return image;
}

std::string Hex(std::uint32_t value) {
  char text[16];
  const auto result = std::to_chars(text, text + sizeof text, value, 16);
  return std::string(text, result.ptr);
}

}  // namespace

int RunDisasm(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
  for (const std::string_view arg : args) {
    if (arg == "--help" || arg == "-h") {
      out << kUsage;
      return kDone;
    }
  }
  if (args.empty()) return BadArguments(err, "no FILE given");
  if (args.size() > 3) return BadArguments(err, "too many arguments");
  if (args[0].starts_with("-")) return BadArguments(err, "unknown option " + std::string(args[0]));

  std::uint32_t start = kFlashBase;
  if (args.size() >= 2) {
    const auto address = ParseAddress(args[1]);
    if (!address) return BadArguments(err, "ADDRESS must be hexadecimal: " + std::string(args[1]));
    start = *address;
  }
  std::size_t maxLines = std::numeric_limits<std::size_t>::max();
  if (args.size() == 3) {
    const auto lines = ParseLines(args[2]);
    if (!lines) return BadArguments(err, "LINES must be a positive decimal count: " + std::string(args[2]));
    maxLines = *lines;
  }

  const std::string path(args[0]);
  const Image image = ReadImage(path);
  if (!image.problem.empty()) {
    err << "pellux-disasm: " << image.problem << "\n";
    return kCannotList;
  }
  if (image.truncated)
    err << "pellux-disasm: note: " << path << " is larger than 2 MB; listing its first 2 MB\n";

  const std::uint32_t end = kFlashBase + static_cast<std::uint32_t>(image.bytes.size());
  if (start < kFlashBase || start >= end) {
    err << "pellux-disasm: address " << Hex(start) << " lies outside " << path << ", which spans "
        << Hex(kFlashBase) << "-" << Hex(end - 1) << "\n";
    return kCannotList;
  }
  if (start & 1) {
    err << "pellux-disasm: address " << Hex(start) << " is odd; 68000 instructions start at even addresses\n";
    return kCannotList;
  }
  if (end - start < 2) {
    err << "pellux-disasm: " << path << " holds no whole instruction word at " << Hex(start) << "\n";
    return kCannotList;
  }

  const BreakpointSet noBreakpoints;
  ListInstructions(std::span<const std::uint8_t>(image.bytes).subspan(start - kFlashBase), start, maxLines,
                   noBreakpoints,
                   [&out](const ListingLine& line) { out << line.text << '\n'; });
  out.flush();
  if (!out) {
    err << "pellux-disasm: cannot write the listing\n";
    return kCannotList;
  }
  return kDone;
}

}  // namespace pellux
