// The GDB fuzz target's body on seeded inputs: streams of real commands,
// damaged commands and noise, in the layout of tests/fuzz/gdb_fuzz.h. Under
// the sanitizer build this is the suite's check that no byte stream makes
// the stub read outside its buffers or send a broken frame.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fuzz/gdb_fuzz.h"

namespace pellux {
namespace {

// What gdb sends, and a few things it never would.
constexpr std::string_view kCommands[] = {
    "qSupported:multiprocess+;swbreak+", "QStartNoAckMode", "?", "g", "G" "0011", "p11", "p10", "p99",
    "P0=deadbeef", "P10=00002700", "P11=00420001", "m420000,40", "m0,4000", "mffffff00,100", "m600000,20",
    "M1000,4:12345678", "M200000,2:ffff", "M400000,2:4e75", "X1000,3:a}]b", "X1000,2:}", "Z0,420010,2",
    "z0,420010,2", "Z1,420020,2", "Z2,1000,4", "Z3,3eff0,10", "Z4,0,ffffffff", "z2,1000,4", "c", "s", "C04",
    "S05;420000", "vCont?", "vCont;c", "vCont;s:1;c", "vCont;C0a:p1.1", "vCont;t", "Hg0", "Hc-1", "T1",
    "qfThreadInfo", "qsThreadInfo", "qC", "qAttached", "qXfer:features:read:target.xml:0,7ff",
    "qXfer:features:read:target.xml:ffffffff,ffffffff", "qRcmd,6361746368", "qRcmd,636174636820616c6c",
    "qRcmd,zz", "qSymbol::", "vMustReplyEmpty", "D", "k", "vKill;1", "",
};

std::vector<std::uint8_t> RandomStream(std::mt19937& rng) {
  std::uniform_int_distribution<unsigned> byte(0, 255);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(kCommands) - 1);
  std::vector<std::uint8_t> input;
  const unsigned chunks = 1 + byte(rng) % 24;
  for (unsigned i = 0; i < chunks; ++i) {
    std::string chunk;
    const unsigned kind = byte(rng) % 8;
    if (kind < 5) {
      const std::string_view command = kCommands[pick(rng)];
      chunk.assign(command.begin(), command.end());
      // Now and then a damaged byte or two.
      if (kind == 4 && !chunk.empty()) chunk[byte(rng) % chunk.size()] = static_cast<char>(byte(rng));
    } else if (kind == 5) {
      chunk.assign(1, '\x03');  // Ctrl-C
    } else {
      chunk.resize(byte(rng) % 128);
      for (char& c : chunk) c = static_cast<char>(byte(rng));
    }
    chunk.resize(std::min<std::size_t>(chunk.size(), 127));
    const bool framed = kind < 5;
    input.push_back(static_cast<std::uint8_t>((framed ? 0x80 : 0) | chunk.size()));
    input.insert(input.end(), chunk.begin(), chunk.end());
  }
  return input;
}

TEST(GdbFuzz, CommandStreamsGetWellFormedReplies) {
  for (unsigned seed = 1; seed <= 400; ++seed) {
    std::mt19937 rng(seed);
    const std::vector<std::uint8_t> input = RandomStream(rng);
    EXPECT_EQ(fuzz::RunStubOnBytes(input.data(), input.size()), "") << "seed " << seed;
  }
}

TEST(GdbFuzz, InputsCutAnywhere) {
  const std::string stream = "\x85qC#b4" "\x02$g" "\x81g" "\x7f";
  for (std::size_t size = 0; size <= stream.size(); ++size) {
    EXPECT_EQ(fuzz::RunStubOnBytes(reinterpret_cast<const std::uint8_t*>(stream.data()), size), "") << size;
  }
}

}  // namespace
}  // namespace pellux
