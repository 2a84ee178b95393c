// pellux-disasm FILE [ADDRESS [LINES]]: lists a ROM image as the debugger does.
#include <iostream>
#include <string_view>
#include <vector>

#include "tools/disasm_cli.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  return pellux::RunDisasm(args, std::cout, std::cerr);
}
