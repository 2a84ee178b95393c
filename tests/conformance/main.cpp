// pellux-conformance: runs MC68000 single-instruction test vector files on
// the flat-memory core and reports per file, then in total.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/conformance/conformance.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: pellux-conformance [--show N] FILE...\n"
               "Runs each vector file on the core and prints 'passed / skipped / failed'\n"
               "per file, then 'N passed, N failed'. --show N prints the first N failures\n"
               "of each file (default 3). Exits 1 when a vector fails or a file is unreadable.\n");
}

}  // namespace

int main(int argc, char** argv) {
  using namespace pellux::conformance;
  std::vector<std::string> files;
  long show = 3;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--show") == 0 && i + 1 < argc) {
      char* end;
      show = std::strtol(argv[++i], &end, 10);
      if (*end || show < 0) {
        Usage();
        return 2;
      }
    } else if (std::strcmp(argv[i], "--help") == 0 || argv[i][0] == '-') {
      Usage();
      return std::strcmp(argv[i], "--help") == 0 ? 0 : 2;
    } else {
      files.push_back(argv[i]);
    }
  }
  if (files.empty()) {
    Usage();
    return 2;
  }

  pellux::FlatMachine machine;
  long totalPassed = 0, totalFailed = 0;
  bool unreadable = false;
  for (const std::string& path : files) {
    std::vector<VectorTest> tests;
    std::string error;
    if (!ReadVectorFile(path, tests, error)) {
      std::printf("%s: %s\n", path.c_str(), error.c_str());
      unreadable = true;
      continue;
    }
    long passed = 0, skipped = 0, failed = 0;
    for (const VectorTest& test : tests) {
      const Outcome outcome = RunVector(machine, test);
      switch (outcome.verdict) {
        case Verdict::Passed:
          ++passed;
          break;
        case Verdict::Skipped:
          ++skipped;
          break;
        case Verdict::Failed:
          if (failed++ < show) std::printf("  FAIL %s: %s\n", test.name.c_str(), outcome.detail.c_str());
          break;
      }
    }
    const char* base = std::strrchr(path.c_str(), '/');
    std::printf("%s: %ld passed / %ld skipped / %ld failed\n", base ? base + 1 : path.c_str(), passed, skipped,
                failed);
    totalPassed += passed;
    totalFailed += failed;
  }
  std::printf("%ld passed, %ld failed\n", totalPassed, totalFailed);
  return (totalFailed || unreadable) ? 1 : 0;
}
