// The fuzz target's body on seeded random inputs: random images as RAM and
// flash, random interrupts and breakpoints. Under the sanitizer build this
// is the suite's check that no byte pattern makes the machine touch memory
// outside its buffers or leave the processor in a broken state.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tests/fuzz/machine_fuzz.h"

namespace pellux {
namespace {

std::vector<std::uint8_t> RandomInput(std::mt19937& rng) {
  std::uniform_int_distribution<std::size_t> imageSize(0, 0x4000);
  std::uniform_int_distribution<unsigned> byte(0, 255);
  const std::size_t scriptLength = byte(rng);
  std::vector<std::uint8_t> input(2 + scriptLength + imageSize(rng));
  for (auto& b : input) b = static_cast<std::uint8_t>(byte(rng));
  input[1] = static_cast<std::uint8_t>(scriptLength);
  return input;
}

TEST(MachineFuzz, RandomImagesAndEventsKeepTheProcessorSound) {
  for (unsigned seed = 1; seed <= 300; ++seed) {
    std::mt19937 rng(seed);
    const std::vector<std::uint8_t> input = RandomInput(rng);
    EXPECT_EQ(fuzz::RunCalculatorOnBytes(input.data(), input.size()), "") << "seed " << seed;
  }
}

// Short and empty inputs take the layout's edges: no script, no image.
TEST(MachineFuzz, InputsShorterThanTheirHeader) {
  const std::uint8_t bytes[] = {0x07, 0xFF, 0x4E};
  for (std::size_t size = 0; size <= sizeof bytes; ++size) {
    EXPECT_EQ(fuzz::RunCalculatorOnBytes(bytes, size), "") << size << " bytes";
  }
}

}  // namespace
}  // namespace pellux
