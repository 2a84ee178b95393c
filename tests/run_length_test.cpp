// The run-length code of memory images, and the checksums of saved states.
#include "machine/run_length.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "machine/checksums.h"

namespace pellux {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<std::uint8_t> Decoded(const std::vector<std::uint8_t>& code, std::size_t size, bool* ok) {
  std::vector<std::uint8_t> out(size, 0x5A);
  *ok = DecodeRunLength(code, out);
  return out;
}

TEST(RunLength, ImagesComeBackExactly) {
  std::vector<std::vector<std::uint8_t>> images = {
      {},
      {7},
      Bytes("abc"),
      Bytes("aaa"),
      Bytes("aaaa"),
      Bytes("xaaaay"),
      Bytes("abcdddddddddefg"),
      std::vector<std::uint8_t>(0x200000, 0xFF),
  };
  std::vector<std::uint8_t> mixed(100000);
  std::mt19937 rng(5);
  for (std::size_t i = 0; i < mixed.size(); ++i)
    mixed[i] = (i / 700) % 2 ? 0 : static_cast<std::uint8_t>(rng() % 3);
  images.push_back(mixed);
  for (const auto& image : images) {
    std::vector<std::uint8_t> code;
    AppendRunLength(image, code);
    bool ok = false;
    EXPECT_EQ(Decoded(code, image.size(), &ok), image) << image.size() << " bytes";
    EXPECT_TRUE(ok);
  }
  std::vector<std::uint8_t> erased;
  AppendRunLength(images[7], erased);
  EXPECT_LE(erased.size(), 8u) << "2 MB of erased flash is one record";
}

TEST(RunLength, MalformedCodesAreRefused) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> code;
    std::size_t size;
  };
  const Case cases[] = {
      {"a record of no bytes", {0x00}, 1},
      {"a literal cut short", {0x06, 'a', 'b'}, 3},
      {"a run without its byte", {0x07}, 3},
      {"a header cut short", {0x80}, 1},
      {"a header of six bytes", {0x81, 0x80, 0x80, 0x80, 0x80, 0x00}, 1},
      {"more bytes than the image", {0x09, 0xFF}, 3},
      {"fewer bytes than the image", {0x05, 0xFF}, 3},
      {"a count of 2^34", {0x81, 0x80, 0x80, 0x80, 0x40, 0xFF}, 3},
      {"nothing for a whole image", {}, 3},
  };
  for (const Case& c : cases) {
    bool ok = true;
    Decoded(c.code, c.size, &ok);
    EXPECT_FALSE(ok) << c.what;
  }
}

TEST(Checksums, KnownValues) {
  EXPECT_EQ(Crc32(Bytes("6789"), Crc32(Bytes("12345"))), 0xCBF43926u) << "a continued checksum";
  EXPECT_EQ(Fnv1a64({}), 0xCBF29CE484222325ull);
  EXPECT_EQ(Fnv1a64(Bytes("a")), 0xAF63DC4C8601EC8Cull);
  EXPECT_EQ(Fnv1a64(Bytes("foobar")), 0x85944171F73967E8ull);
}

}  // namespace
}  // namespace pellux
