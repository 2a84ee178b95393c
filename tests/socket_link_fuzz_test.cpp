// The socket link's fuzz body on seeded inputs: a peer that says hello and
// sends good frames, damaged ones and noise, reading the link's bytes or
// not, in the layout of tests/fuzz/socket_link_fuzz.h. Under the sanitizer
// build this is the suite's check that nothing a peer sends makes the link
// read outside its buffers, grow, or break its rules.
#include "tests/fuzz/socket_link_fuzz.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "linkserver/link_wire.h"

namespace pellux {
namespace {

namespace wire = link_wire;

std::vector<std::uint8_t> RandomStream(std::mt19937& rng) {
  std::uniform_int_distribution<unsigned> byte(0, 255);
  std::vector<std::uint8_t> input;
  // Mostly a good hello, so that the frames behind it are read.
  input.push_back(static_cast<std::uint8_t>(byte(rng) | (byte(rng) % 8 != 0 ? 0x01 : 0)));
  const unsigned chunks = 1 + byte(rng) % 40;
  for (unsigned i = 0; i < chunks; ++i) {
    std::string chunk;
    bool framed = false;
    switch (byte(rng) % 8) {
      case 0:
      case 1:
      case 2:
        framed = true;  // the calculator's bytes, well framed
        chunk.resize(1 + byte(rng) % 127);
        for (char& c : chunk) c = static_cast<char>(byte(rng));
        break;
      case 3:
        chunk = wire::LinesFrame(static_cast<std::uint8_t>(byte(rng) % 4));
        break;
      case 4:
        chunk = wire::ResetFrame();
        break;
      case 5: {  // a good frame with a byte damaged
        chunk = wire::LinesFrame(1) + wire::ResetFrame();
        chunk[byte(rng) % chunk.size()] = static_cast<char>(byte(rng));
        break;
      }
      case 6:
        chunk = byte(rng) % 2 ? wire::Hello(static_cast<std::uint8_t>(byte(rng))) : wire::BusyFrame();
        break;
      default:
        chunk.resize(byte(rng) % 128);
        for (char& c : chunk) c = static_cast<char>(byte(rng));
        break;
    }
    chunk.resize(std::min<std::size_t>(chunk.size(), 127));
    input.push_back(static_cast<std::uint8_t>((framed ? 0x80 : 0) | chunk.size()));
    input.insert(input.end(), chunk.begin(), chunk.end());
  }
  return input;
}

TEST(SocketLinkFuzz, PeersSayingAnythingAreHandledByTheRules) {
  for (unsigned seed = 1; seed <= 300; ++seed) {
    std::mt19937 rng(seed);
    const std::vector<std::uint8_t> input = RandomStream(rng);
    EXPECT_EQ(fuzz::RunSocketLinkOnBytes(input.data(), input.size()), "") << "seed " << seed;
  }
}

// A long well-framed stream to a peer that never reads, and the same read:
// the back-pressure path both ways.
TEST(SocketLinkFuzz, LongStreamsReadOrNot) {
  for (const std::uint8_t options : {0x01, 0x03, 0x0F}) {
    std::vector<std::uint8_t> input{options};
    for (int i = 0; i < 400; ++i) {
      input.push_back(0x80 | 127);
      for (int j = 0; j < 127; ++j) input.push_back(static_cast<std::uint8_t>(i + j));
    }
    EXPECT_EQ(fuzz::RunSocketLinkOnBytes(input.data(), input.size()), "") << int(options);
  }
}

TEST(SocketLinkFuzz, InputsCutAnywhere) {
  std::string stream = "\x01";
  stream += static_cast<char>(wire::kHelloBytes + 5);
  stream += wire::Hello() + wire::BytesFrame(std::vector<std::uint8_t>{1, 2, 3});
  stream +=
      "\x83"
      "abc"
      "\x05\x7f\x00\x02\x09\x03";
  for (std::size_t size = 0; size <= stream.size(); ++size) {
    EXPECT_EQ(fuzz::RunSocketLinkOnBytes(reinterpret_cast<const std::uint8_t*>(stream.data()), size), "")
        << size;
  }
}

}  // namespace
}  // namespace pellux
