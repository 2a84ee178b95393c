// The state fuzz target's body on seeds: a real state and a kept version-1
// file, resealed after random edits, cut, or named for another ROM. Under
// the sanitizer build this is the suite's check that no saved state makes
// the loader or the loaded machine touch memory outside its buffers.
#include "tests/fuzz/state_fuzz.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "machine/save_state.h"
#include "tests/test_paths.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

constexpr std::uint8_t kReseal = 1, kNamedRom = 2;

// A machine's state, preceded by the fuzz input's options byte. Its flash
// is mostly zero, so the state is small and every edit lands in a header,
// a field or a record of the run-length code.
std::vector<std::uint8_t> Seed(std::uint8_t options) {
  test::CalculatorFixture f;
  f.calc->ports[port::kTimerControl] = 0x09;
  for (int i = 0; i < 10; ++i) {
    f.clock.AdvanceTicks(1);
    f.calc->RunSlice(f.clock);
  }
  f.calc->KeyDown(12);
  std::vector<std::uint8_t> input{options};
  const std::vector<std::uint8_t> state = SaveState(*f.calc, RomIdentity{0x1234}, f.clock);
  input.insert(input.end(), state.begin(), state.end());
  return input;
}

std::string LoadInput(const std::vector<std::uint8_t>& input) {
  return fuzz::LoadStateFromBytes(input.data(), input.size());
}

// The kept version-1 file (see state_fixtures_test.cpp), for the older
// reader's paths.
std::vector<std::uint8_t> VersionOneSeed(std::uint8_t options) {
  std::ifstream in(std::string(test::kTestDataDir) + "/saved_states/busy-v1.state", std::ios::binary);
  std::vector<std::uint8_t> input{options};
  input.insert(input.end(), std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return input;
}

TEST(StateFuzz, SeedsAndTheirMutationsPassEveryCheck) {
  for (const auto& seed : {Seed(kReseal | kNamedRom), VersionOneSeed(kReseal | kNamedRom)}) {
    ASSERT_GT(seed.size(), 100u) << "the kept file was read";
    ASSERT_LT(seed.size(), 2000u);
    for (std::uint8_t options = 0; options < 4; ++options) {
      std::vector<std::uint8_t> input = seed;
      input[0] = options;
      EXPECT_EQ(LoadInput(input), "") << "options " << +options;
    }
    // The checksum is made to fit, so the edits reach the sections.
    std::mt19937 rng(13);
    for (int trial = 0; trial < 200; ++trial) {
      std::vector<std::uint8_t> input = seed;
      const int edits = 1 + static_cast<int>(rng() % 4);
      for (int e = 0; e < edits; ++e) input[1 + rng() % (input.size() - 1)] = static_cast<std::uint8_t>(rng());
      EXPECT_EQ(LoadInput(input), "") << "trial " << trial;
    }
    for (std::size_t length = 0; length < seed.size(); ++length) {
      EXPECT_EQ(LoadInput({seed.begin(), seed.begin() + static_cast<std::ptrdiff_t>(length)}), "")
          << length << " bytes";
    }
  }
}

}  // namespace
}  // namespace pellux
