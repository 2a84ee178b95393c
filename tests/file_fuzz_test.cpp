// The file fuzz target's body on seeds: every variable and flash file of
// tests/data/link, as they are and with random edits (the variable files'
// sizes and checksums made to fit again, so the edits reach the entries).
// Under the sanitizer build this is the suite's check that no bytes make
// the readers touch memory outside their buffers.
#include "tests/fuzz/file_fuzz.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tests/link_files.h"

namespace pellux {
namespace {

constexpr std::uint8_t kReseal = 1;

std::vector<std::vector<std::uint8_t>> Seeds() {
  std::vector<std::string> names = test::LinkVariableFileNames();
  names.insert(names.end(), {"tinyos.9xu", "sample.9xk", "tinyos-9x.tib"});
  std::vector<std::vector<std::uint8_t>> seeds;
  for (const std::string& name : names) {
    std::vector<std::uint8_t> seed{kReseal};
    const std::vector<std::uint8_t> file = test::LinkDataFile(name);
    seed.insert(seed.end(), file.begin(), file.end());
    seeds.push_back(std::move(seed));
  }
  return seeds;
}

std::string Read(const std::vector<std::uint8_t>& input) {
  return fuzz::ReadFilesFromBytes(input.data(), input.size());
}

TEST(FileFuzz, SeedsAndTheirMutationsPassEveryCheck) {
  const auto seeds = Seeds();
  ASSERT_GE(seeds.size(), 12u);
  std::mt19937 rng(29);
  for (const auto& seed : seeds) {
    ASSERT_GT(seed.size(), 1u);
    for (std::uint8_t options = 0; options < 2; ++options) {
      std::vector<std::uint8_t> input = seed;
      input[0] = options;
      EXPECT_EQ(Read(input), "") << "options " << +options;
    }
    // Edits land in the header and entries more often than in the data.
    for (int trial = 0; trial < 150; ++trial) {
      std::vector<std::uint8_t> input = seed;
      const std::size_t reach = trial % 2 ? input.size() - 1 : std::min<std::size_t>(input.size() - 1, 200);
      const int edits = 1 + static_cast<int>(rng() % 4);
      for (int e = 0; e < edits; ++e) input[1 + rng() % reach] = static_cast<std::uint8_t>(rng());
      EXPECT_EQ(Read(input), "") << "trial " << trial;
    }
  }
}

TEST(FileFuzz, InputsShorterThanTheirHeader) {
  for (std::size_t size = 0; size < 4; ++size) {
    const std::vector<std::uint8_t> input(size, 0x2A);
    EXPECT_EQ(Read(input), "") << size << " bytes";
  }
}

}  // namespace
}  // namespace pellux
