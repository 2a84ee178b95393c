// pellux-headless run in the test process, through the very path the
// program takes, with what it wrote to standard output and error.
#pragma once

#include <string>
#include <vector>

namespace pellux::test {

struct ToolOutcome {
  int status;
  std::string out;
  std::string err;
};

ToolOutcome RunHeadlessTool(const std::vector<std::string>& args);

}  // namespace pellux::test
