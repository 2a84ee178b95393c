// pellux-headless: boots a ROM image without a window, runs it for a while,
// presses keys from a script, and writes the LCD to image files.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/headless_cli.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return pellux::RunHeadless(arguments, stdout, stderr);
}
