// The link protocol's packets: their bytes, and reading them back from a
// stream cut anywhere, with the faults a garbled or hostile stream holds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/link_packet.h"

namespace pellux {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Feeds the stream in pieces of `piece` bytes; answers the packets read and
// the faults met, in order, as text.
std::vector<std::string> ReadAll(PacketReader& reader, const Bytes& stream, std::size_t piece) {
  std::vector<std::string> got;
  for (std::size_t at = 0; at < stream.size();) {
    const std::size_t end = std::min(stream.size(), at + piece);
    std::span<const std::uint8_t> rest(stream.data() + at, end - at);
    while (!rest.empty()) {
      const PacketReader::Result result = reader.Feed(rest);
      EXPECT_GT(result.consumed, 0u);
      rest = rest.subspan(result.consumed);
      if (result.status == PacketReader::Status::Packet) {
        const LinkPacket& packet = reader.packet();
        got.push_back(DescribeLinkCommand(packet.command) + " " + std::to_string(packet.word) + " sum " +
                      std::to_string(LinkChecksum(packet.data)) + " size " + std::to_string(packet.data.size()));
      } else if (result.status == PacketReader::Status::Fault) {
        got.push_back("fault: " + result.message);
      }
    }
    at = end;
  }
  return got;
}

TEST(LinkPacket, EncodesHeaderDataAndLittleEndianChecksum) {
  const Bytes data = {0x00, 0x00, 0x00, 0x00, 0x12, 0xFF, 0xFF};
  EXPECT_EQ(EncodeLinkPacket(0x08, 0x15, data),
            (Bytes{0x08, 0x15, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x12, 0xFF, 0xFF, 0x10, 0x02}));
  // Commands without data carry their word only, even when handed data.
  EXPECT_EQ(EncodeLinkPacket(0x08, 0x56, data), (Bytes{0x08, 0x56, 0x00, 0x00}));
  EXPECT_EQ(EncodeLinkHeader(0x08, 0x87, 0x0150), (Bytes{0x08, 0x87, 0x50, 0x01}));
  // The sum wraps at 16 bits.
  EXPECT_EQ(LinkChecksum(Bytes(300, 0xFF)), static_cast<std::uint16_t>(300 * 0xFF));
}

TEST(LinkPacket, StreamReadsBackInPiecesOfAnySize) {
  Bytes stream;
  std::vector<std::string> expected;
  for (const std::size_t size : {0, 1, 2, 257, 1000}) {
    Bytes data(size);
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>(i * 31 + 7);
    const Bytes packet = EncodeLinkPacket(0x88, 0x15, data);
    stream.insert(stream.end(), packet.begin(), packet.end());
    expected.push_back("XDP " + std::to_string(size) + " sum " + std::to_string(LinkChecksum(data)) + " size " +
                       std::to_string(size));
    // A command without data between them, its word a parameter.
    const Bytes key = EncodeLinkHeader(0x88, 0x87, 0x1234);
    stream.insert(stream.end(), key.begin(), key.end());
    expected.push_back("CMD 4660 sum 0 size 0");
  }
  for (const std::size_t piece : {1, 2, 3, 5, 7, 64, 4096}) {
    PacketReader reader({0x88}, 0xFFFF);
    EXPECT_EQ(ReadAll(reader, stream, piece), expected) << "pieces of " << piece;
    EXPECT_FALSE(reader.Partial());
  }
}

TEST(LinkPacket, FaultsAreNamedAndTheReaderGoesOn) {
  struct Case {
    const char* what;
    Bytes stream;
    std::vector<std::string> expected;
  };
  const Bytes ack = EncodeLinkHeader(0x88, 0x56);
  auto with = [&](Bytes head) {
    head.insert(head.end(), ack.begin(), ack.end());
    return head;
  };
  const Case cases[] = {
      {"a machine id it does not talk to", with({0x12, 0x56, 0x00, 0x00}),
       {"fault: a packet from machine id 0x12, which this end does not talk to", "ACK 0 sum 0 size 0"}},
      {"a command nobody defined", with({0x88, 0x33, 0x00, 0x00}),
       {"fault: a packet with the unknown command id 0x33", "ACK 0 sum 0 size 0"}},
      {"more data than accepted", with({0x88, 0x06, 0x11, 0x00}),
       {"fault: 17 bytes of VAR data, more than the 16 expected", "ACK 0 sum 0 size 0"}},
      {"as much as accepted", with(EncodeLinkPacket(0x88, 0x06, Bytes(16, 1))),
       {"VAR 16 sum 16 size 16", "ACK 0 sum 0 size 0"}},
      // Read whole: the stream stays in step and the next packet is read.
      {"a wrong checksum", with({0x88, 0x15, 0x02, 0x00, 0x01, 0x02, 0x04, 0x00}),
       {"fault: XDP data (2 bytes) with a checksum error", "ACK 0 sum 0 size 0"}},
      {"an empty data packet", with({0x88, 0x15, 0x00, 0x00, 0x00, 0x00}), {"XDP 0 sum 0 size 0", "ACK 0 sum 0 size 0"}},
  };
  for (const Case& c : cases) {
    PacketReader reader({0x88}, 16);
    EXPECT_EQ(ReadAll(reader, c.stream, 1), c.expected) << c.what;
    PacketReader whole({0x88}, 16);
    EXPECT_EQ(ReadAll(whole, c.stream, c.stream.size()), c.expected) << c.what << ", in one piece";
  }
}

TEST(LinkPacket, ChecksumFaultKeepsTheHeaderForTheAnswer) {
  PacketReader reader({0x88}, 100);
  const Bytes damaged = {0x88, 0x06, 0x01, 0x00, 0x05, 0x06, 0x00};
  const PacketReader::Result result = reader.Feed(damaged);
  EXPECT_EQ(result.fault, PacketFault::BadChecksum);
  EXPECT_EQ(result.consumed, damaged.size());
  EXPECT_EQ(reader.packet().command, 0x06);
  EXPECT_FALSE(reader.Partial());
}

TEST(LinkPacket, ProgressOfADataPacketAndReset) {
  PacketReader reader({0x88}, 1000);
  const Bytes packet = EncodeLinkPacket(0x88, 0x15, Bytes(600, 9));
  EXPECT_EQ(reader.Feed(std::span(packet).first(204)).status, PacketReader::Status::NeedMore);
  EXPECT_TRUE(reader.Partial());
  EXPECT_TRUE(reader.ReadingData());
  EXPECT_EQ(reader.command(), 0x15);
  EXPECT_EQ(reader.dataSoFar(), 200u);
  EXPECT_EQ(reader.dataExpected(), 600u);
  // The limit applies to headers still to come, not to the packet begun.
  reader.SetMaxData(10);
  EXPECT_EQ(reader.Feed(std::span(packet).subspan(204)).status, PacketReader::Status::Packet);
  EXPECT_EQ(reader.packet().data.size(), 600u);

  EXPECT_EQ(reader.Feed(std::span(packet).first(3)).status, PacketReader::Status::NeedMore);
  reader.Reset();
  EXPECT_FALSE(reader.Partial());
  const Bytes ack = EncodeLinkHeader(0x88, 0x56);
  EXPECT_EQ(reader.Feed(ack).status, PacketReader::Status::Packet);
}

}  // namespace
}  // namespace pellux
