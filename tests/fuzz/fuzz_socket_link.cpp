// libFuzzer entry: a hostile program at the other end of a link socket (see
// socket_link_fuzz.h for the input's layout). A broken rule aborts with its
// description; memory and undefined-behaviour faults are the sanitizers'.
#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/socket_link_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string trouble = pellux::fuzz::RunSocketLinkOnBytes(data, size);
  if (!trouble.empty()) {
    std::fprintf(stderr, "pellux-fuzz-socket-link: %s\n", trouble.c_str());
    std::abort();
  }
  return 0;
}
