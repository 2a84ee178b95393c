// libFuzzer entry: hostile calculators against the computer's side of the
// link (see link_fuzz.h for the input's layout). A broken promise aborts
// with its description; memory and undefined-behaviour faults are the
// sanitizers'.
#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/link_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string trouble = pellux::fuzz::RunLinkOnBytes(data, size);
  if (!trouble.empty()) {
    std::fprintf(stderr, "pellux-fuzz-link: %s\n", trouble.c_str());
    std::abort();
  }
  return 0;
}
