// The vector reader on real and damaged files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "tests/conformance/conformance.h"
#include "tests/test_paths.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using namespace conformance;

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(ConformanceReader, ReadsAVectorFile) {
  const Result<std::vector<VectorTest>> read = ReadVectorFile(std::string(test::kVectorDir) + "/NOP.json.bin");
  ASSERT_TRUE(read.ok()) << read.message();
  const std::vector<VectorTest>& tests = *read;
  ASSERT_EQ(tests.size(), 250u);
  EXPECT_EQ(tests[0].initial.prefetch[0], 0x4E71u);
  EXPECT_NE(tests[0].name.find("NOP"), std::string::npos);
  EXPECT_FALSE(tests[0].initial.ram.empty());
}

TEST(ConformanceReader, DamagedFilesAreRefusedNotOverrun) {
  const std::vector<std::uint8_t> good = ReadBytes(std::string(test::kVectorDir) + "/NOP.json.bin");
  ASSERT_GT(good.size(), 1000u);
  std::vector<std::vector<std::uint8_t>> damaged = {
      {},
      {good.begin(), good.begin() + 6},
      {good.begin(), good.begin() + 500},
      {good.begin(), good.end() - 1},
  };
  damaged.push_back(good);
  damaged.back()[20] ^= 0xFF;  // a block length
  damaged.push_back(good);
  damaged.back().push_back(0);
  for (std::size_t i = 0; i < damaged.size(); ++i) {
    test::TempFile file(damaged[i]);
    const Result<std::vector<VectorTest>> read = ReadVectorFile(file.path());
    EXPECT_FALSE(read.ok()) << "case " << i;
    const std::string error = read.message();
    EXPECT_FALSE(error.empty()) << "case " << i;
    EXPECT_EQ(error.find(file.path().string()), std::string::npos) << "the caller names the file: " << error;
  }
}

// Whatever the name stands for, the reader answers with the reason: no
// exception, no endless read, no wait for a writer.
TEST(ConformanceReader, WhatIsNoFileIsRefusedWithTheReason) {
  const test::TempDir dir;
  const std::string fifo = (dir.path() / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::pair<std::string, const char*> cases[] = {
      {dir.path().string(), "is a directory, not a file"},
      {fifo, "is a FIFO, not a file"},
      {(dir.path() / "missing").string(), "No such file or directory"},
      {"/proc/self/mem", "cannot be read: Input/output error"},
      {"/dev/zero", "is larger than 67108864 bytes"},
  };
  for (const auto& [path, reason] : cases) {
    const Result<std::vector<VectorTest>> read = ReadVectorFile(path);
    EXPECT_FALSE(read.ok()) << path;
    EXPECT_EQ(read.message(), reason) << path;
  }
}

}  // namespace
}  // namespace pellux
