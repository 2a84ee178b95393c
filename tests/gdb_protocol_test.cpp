// The remote protocol's framing: packets in any pieces, acknowledgements,
// the interrupt byte, checksums, escapes and the hex forms.
#include "debugger/gdb_protocol.h"
#include "debugger/numbers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pellux::gdb {
namespace {

using Kind = PacketEvent::Kind;

std::vector<PacketEvent> FeedInPieces(std::string_view stream, std::size_t piece) {
  PacketReader reader;
  std::vector<PacketEvent> events;
  for (std::size_t at = 0; at < stream.size(); at += piece) reader.Feed(stream.substr(at, piece), events);
  return events;
}

TEST(GdbFraming, StreamsGiveTheSameEventsWhateverThePieces) {
  struct Case {
    const char* name;
    std::string stream;
    std::vector<PacketEvent> events;
  };
  const std::string longPayload(kMaxPayload, 'x');
  const std::string tooLong = FramePacket(longPayload + "y");
  const Case cases[] = {
      {"one packet", "$g#67", {{Kind::Packet, "g"}}},
      {"two with acks",
       "+$?#3f-$m0,4#fd",
       {{Kind::Ack, ""}, {Kind::Packet, "?"}, {Kind::Nack, ""}, {Kind::Packet, "m0,4"}}},
      {"upper-case checksum", "$qC#B4", {{Kind::Packet, "qC"}}},
      {"wrong checksum", "$g#00$g#67", {{Kind::BadChecksum, ""}, {Kind::Packet, "g"}}},
      {"checksum not hex", "$g#zz", {{Kind::BadChecksum, ""}}},
      {"noise between packets", "hello\r\n$g#67 ##", {{Kind::Packet, "g"}}},
      {"interrupt", "\x03$?#3f", {{Kind::Interrupt, ""}, {Kind::Packet, "?"}}},
      {"restart inside a packet", "$m12$g#67", {{Kind::Packet, "g"}}},
      {"empty packet", "$#00", {{Kind::Packet, ""}}},
      {"longest packet", FramePacket(longPayload), {{Kind::Packet, longPayload}}},
      {"oversized, then on", tooLong + "$g#67", {{Kind::Oversized, ""}, {Kind::Packet, "g"}}},
      // Said at the limit; what follows up to the end is the packet's, not
      // acknowledgements or interrupts.
      {"oversized, its rest skipped",
       "$" + longPayload + "y+-\x03y#00$g#67",
       {{Kind::Oversized, ""}, {Kind::Packet, "g"}}},
      {"never ends until a new one",
       "$" + std::string(3 * kMaxPayload, 'C') + "$g#67",
       {{Kind::Oversized, ""}, {Kind::Packet, "g"}}},
      {"cut off", "$m0,4#f", {}},
  };
  for (const Case& c : cases) {
    for (const std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{7}, c.stream.size() + 1}) {
      EXPECT_EQ(FeedInPieces(c.stream, piece), c.events) << c.name << ", pieces of " << piece;
    }
  }
}

// One event at a time: up to the byte that completes it, and no further.
TEST(GdbFraming, FeedOneStopsAfterEachEvent) {
  const std::string stream = "+$g#67xx\x03$m0,4#f";
  PacketReader reader;
  std::vector<PacketEvent> events;
  std::vector<std::size_t> used;
  for (std::string_view rest = stream; !rest.empty();) {
    used.push_back(reader.FeedOne(rest, events));
    rest.remove_prefix(used.back());
  }
  EXPECT_EQ(used, (std::vector<std::size_t>{1, 5, 3, 7}));
  EXPECT_EQ(events, (std::vector<PacketEvent>{{Kind::Ack, ""}, {Kind::Packet, "g"}, {Kind::Interrupt, ""}}));
  EXPECT_TRUE(reader.InPacket());
}

TEST(GdbFraming, EscapedBinaryReadsBackAsItWas) {
  const std::vector<std::string> payloads = {"OK", "", "T05thread:1;", "a$b#c}d*e", std::string("\0\xff", 2)};
  for (const std::string& payload : payloads) {
    const std::string frame = FramePacket(EscapeBinary(payload));
    std::vector<PacketEvent> events;
    PacketReader().Feed(frame, events);
    ASSERT_EQ(events.size(), 1u) << frame;
    EXPECT_EQ(events[0].kind, Kind::Packet) << frame;
    const auto bytes = UnescapeBinary(events[0].payload);
    ASSERT_TRUE(bytes) << frame;
    EXPECT_EQ(std::string(bytes->begin(), bytes->end()), payload);
  }
  EXPECT_EQ(FramePacket("OK"), "$OK#9a");
  EXPECT_EQ(EscapeBinary("#*"), "}\x03}\x0a");
  EXPECT_FALSE(UnescapeBinary("ab}"));
}

TEST(GdbFraming, HexForms) {
  EXPECT_EQ(ParseHex("0"), 0u);
  EXPECT_EQ(ParseHex("FFffFFff"), 0xFFFFFFFFu);
  for (const char* bad : {"", "123456789", "12g", "-1", " 1"}) EXPECT_FALSE(ParseHex(bad)) << bad;
  EXPECT_EQ(ParseHexBytes("00fF7a"), (std::vector<std::uint8_t>{0x00, 0xFF, 0x7A}));
  EXPECT_FALSE(ParseHexBytes("abc"));
  EXPECT_FALSE(ParseHexBytes("0x"));
  EXPECT_EQ(HexLong(0x0040A1F2), "0040a1f2");
  EXPECT_EQ(HexBytes(std::string_view("GDB")), "474442");
  EXPECT_EQ(Split("a,,b", ','), (std::vector<std::string_view>{"a", "", "b"}));
}

}  // namespace
}  // namespace pellux::gdb
