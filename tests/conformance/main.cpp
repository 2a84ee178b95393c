// pellux-conformance: runs MC68000 single-instruction test vector files on
// the flat-memory core and reports per file, then in total.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/conformance/conformance.h"
#include "tools/arguments.h"

namespace {

constexpr const char* kUsage =
    "usage: pellux-conformance [--show N] FILE...\n"
    "Runs each vector file on the core and prints 'passed / skipped / failed'\n"
    "per file, then 'N passed, N failed'. --show N prints the first N failures\n"
    "of each file (default 3). Exits 1 when a vector fails or a file is unreadable.\n";

constexpr pellux::OptionSpec kOptions[] = {{"--help", false}, {"--show", true}};

int UsageError(const std::string& problem) {
  std::fprintf(stderr, "pellux-conformance: %s\n%s", problem.c_str(), kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace pellux::conformance;
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  const pellux::SplitArguments split = pellux::SplitCommandLine(arguments, kOptions);
  if (!split.ok()) return UsageError(split.message());
  std::vector<std::string> files;
  std::uint64_t show = 3;
  for (const pellux::Argument& argument : *split) {
    if (argument.option == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (argument.option == "--show") {
      const pellux::ParsedNumber count = pellux::ParseUnsigned(argument.value, 10);
      if (!count.ok()) {
        return UsageError("--show wants a count of failures, not " + pellux::Quoted(argument.value));
      }
      show = *count;
    } else {
      files.push_back(argument.value);
    }
  }
  if (files.empty()) return UsageError("no vector file given");

  pellux::FlatMachine machine;
  long totalPassed = 0, totalFailed = 0;
  bool unreadable = false;
  for (const std::string& path : files) {
    const pellux::Result<std::vector<VectorTest>> read = ReadVectorFile(path);
    if (!read.ok()) {
      std::fprintf(stderr, "%s: %s\n", path.c_str(), read.message().c_str());
      unreadable = true;
      continue;
    }
    const std::vector<VectorTest>& tests = *read;
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
          if (static_cast<std::uint64_t>(failed++) < show)
            std::printf("  FAIL %s: %s\n", test.name.c_str(), outcome.detail.c_str());
          break;
      }
    }
    const char* base = std::strrchr(path.c_str(), '/');
    std::printf("%s: %ld passed / %ld skipped / %ld failed\n", base ? base + 1 : path.c_str(), passed,
                skipped, failed);
    std::fflush(stdout);
    totalPassed += passed;
    totalFailed += failed;
  }
  std::printf("%ld passed, %ld failed\n", totalPassed, totalFailed);
  return (totalFailed || unreadable) ? 1 : 0;
}
