// libFuzzer entry: a debugger's byte stream into the GDB stub (see
// gdb_fuzz.h for its layout). A malformed reply aborts with its
// description; memory and undefined-behaviour faults are the sanitizers'.
#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/gdb_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string trouble = pellux::fuzz::RunStubOnBytes(data, size);
  if (!trouble.empty()) {
    std::fprintf(stderr, "pellux-fuzz-gdb: %s\n", trouble.c_str());
    std::abort();
  }
  return 0;
}
