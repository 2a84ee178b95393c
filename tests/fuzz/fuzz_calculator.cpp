// libFuzzer entry: the calculator run on each input (see machine_fuzz.h for
// its layout). A broken processor invariant aborts with its description;
// memory and undefined-behaviour faults are the sanitizers' to report.
#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/machine_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string trouble = pellux::fuzz::RunCalculatorOnBytes(data, size);
  if (!trouble.empty()) {
    std::fprintf(stderr, "pellux-fuzz-calculator: %s\n", trouble.c_str());
    std::abort();
  }
  return 0;
}
