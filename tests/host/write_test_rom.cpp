// pellux-test-rom: writes one of the test ROMs, for scripts that run the
// real window (the idle benchmark).
#include <cstdio>
#include <cstring>
#include <fstream>

#include "tests/host/test_roms.h"

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[1], "sleep") != 0 && std::strcmp(argv[1], "keys") != 0)) {
    std::fprintf(stderr,
                 "usage: pellux-test-rom sleep|keys OUT\n"
                 "  sleep: turns the timers on, draws a checkerboard and sleeps\n"
                 "  keys:  the same, and shows keyboard row 9 in the upper half of the LCD\n");
    return 2;
  }
  const auto rom = pellux::test::SleepingRom(std::strcmp(argv[1], "keys") == 0);
  std::ofstream out(argv[2], std::ios::binary);
  out.write(reinterpret_cast<const char*>(rom.data()), static_cast<std::streamsize>(rom.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "pellux-test-rom: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
