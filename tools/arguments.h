// The pieces every tool's command line is made of: options written
// "--name VALUE" or "--name=VALUE", counts that say "too large" rather than
// "not a number" when they overflow, and the user's own text quoted so that
// a message shows it readably whatever bytes it holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "debugger/numbers.h"

namespace pellux {

struct OptionSpec {
  std::string_view name;  // with its dashes: "--keys", "-h"
  bool takesValue;
  // An empty or missing value is passed on for the caller to judge (and to
  // say what it wanted) instead of being refused here.
  bool emptyValueIsCallers = false;
};

// One argument after splitting: an option and its value, or (option empty)
// an operand such as a file name.
struct Argument {
  std::string_view option;
  std::string value;
};

// A split that failed: what is wrong, and the items before the argument at
// fault, so that a caller that checks them first reports the first mistake on
// the line.
struct SplitError {
  std::string message;
  std::vector<Argument> before;  // in command-line order
};

// The arguments in command-line order, or why they cannot be split.
using SplitArguments = Result<std::vector<Argument>, SplitError>;

// Splits the arguments by the table of options. A lone "-" is an operand;
// after "--" everything is.
SplitArguments SplitCommandLine(std::span<const std::string_view> args, std::span<const OptionSpec> options);
SplitArguments SplitCommandLine(std::span<const std::string> args, std::span<const OptionSpec> options);

// The user's text for a message: in single quotes, printable ASCII and whole
// UTF-8 characters as they are, every other byte (NUL, controls, half a
// character) as \xNN, and only the first `limit` characters of a longer
// text, followed by how long it was.
std::string Quoted(std::string_view text, std::size_t limit = 40);

}  // namespace pellux
