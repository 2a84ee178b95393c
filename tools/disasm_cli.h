// pellux-disasm: lists a ROM image (or any raw file) as the debugger lists
// the calculator's flash, one instruction a line.
#pragma once

#include <ostream>
#include <span>
#include <string_view>

namespace pellux {

// Runs the command on its arguments (the program name left out), writing the
// listing to out and messages to err. Returns the exit code: 0 done, 1 a file
// or address that cannot be listed, 2 bad arguments.
int RunDisasm(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);

}  // namespace pellux
