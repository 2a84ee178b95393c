// The link fuzz target's body on seeded inputs: honest exchanges cut into by
// garbage, damaged and stray packets, pulses, jumps of time, cancels and
// calculators that misbehave, in the layout of tests/fuzz/link_fuzz.h.
// Under the sanitizer build this is the suite's check that no calculator
// makes the computer's side read outside a buffer, grow without bound or
// leave a job without an end.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tests/fuzz/link_fuzz.h"

namespace pellux {
namespace {

std::vector<std::uint8_t> RandomOperations(std::mt19937& rng) {
  std::uniform_int_distribution<unsigned> byte(0, 255);
  std::vector<std::uint8_t> input;
  auto push = [&](unsigned value) { input.push_back(static_cast<std::uint8_t>(value)); };
  const unsigned operations = 1 + byte(rng) % 60;
  for (unsigned i = 0; i < operations; ++i) {
    const unsigned kind = byte(rng) % 12;
    if (kind < 5) {
      push(0xA0 | byte(rng) % 16);  // the calculator answers, as it should
    } else if (kind == 5) {
      const unsigned n = byte(rng) % 12;
      push(n);
      for (unsigned j = 0; j <= n; ++j) push(byte(rng) % 3 ? byte(rng) : 0x88);
    } else if (kind == 6) {
      const unsigned n = byte(rng) % 8;
      push(0x40 | n);
      push(byte(rng));
      for (unsigned j = 0; j < n; ++j) push(byte(rng));
    } else if (kind == 7) {
      push(0x80 | byte(rng) % 32);
      push(byte(rng));
    } else {
      const unsigned control = 0xB0 + byte(rng) % 10;
      push(control);
      if (control == 0xB0) push(byte(rng));
      for (unsigned j = 0; j < 3; ++j) push(byte(rng));
    }
  }
  return input;
}

TEST(LinkFuzz, EveryJobEndsWhateverTheCalculatorDoes) {
  for (unsigned seed = 1; seed <= 300; ++seed) {
    std::mt19937 rng(seed);
    const std::vector<std::uint8_t> input = RandomOperations(rng);
    EXPECT_EQ(fuzz::RunLinkOnBytes(input.data(), input.size()), "") << "seed " << seed;
  }
}

}  // namespace
}  // namespace pellux
