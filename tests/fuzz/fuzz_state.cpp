// libFuzzer entry: saved states loaded from each input (see state_fuzz.h for
// its layout). A broken check aborts with its description; memory and
// undefined-behaviour faults are the sanitizers' to report.
#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/state_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string trouble = pellux::fuzz::LoadStateFromBytes(data, size);
  if (!trouble.empty()) {
    std::fprintf(stderr, "pellux-fuzz-state: %s\n", trouble.c_str());
    std::abort();
  }
  return 0;
}
