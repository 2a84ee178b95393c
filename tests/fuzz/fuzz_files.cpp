// libFuzzer entry: variable and flash files read from each input (see
// file_fuzz.h for its layout). A broken check aborts with its description;
// memory and undefined-behaviour faults are the sanitizers' to report.
#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/file_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string trouble = pellux::fuzz::ReadFilesFromBytes(data, size);
  if (!trouble.empty()) {
    std::fprintf(stderr, "pellux-fuzz-files: %s\n", trouble.c_str());
    std::abort();
  }
  return 0;
}
