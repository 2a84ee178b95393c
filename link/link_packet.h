// The calculator link protocol's packets, as both ends put them on the
// cable: a machine id, a command id, a 2-byte little-endian word and, for the
// commands that carry data, that many bytes of data and their 16-bit sum,
// little-endian. For the other commands the word is a parameter (usually 0).
//
// PacketReader takes a byte stream in pieces of any size and gives whole
// packets, or says what is wrong with the bytes: a machine id it does not
// accept, a command nobody defined, more data than it will hold, a checksum
// that does not match. It never holds more than its limit of data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace pellux {

namespace link_machine {
constexpr std::uint8_t kComputerToTi92Plus = 0x08;
constexpr std::uint8_t kTi92Plus = 0x88;  // what a TI-92 Plus sends as
constexpr std::uint8_t kTi89 = 0x98;      // its sibling, same protocol
}  // namespace link_machine

namespace link_command {
constexpr std::uint8_t kVar = 0x06;   // a variable's header: size, type, name
constexpr std::uint8_t kCts = 0x09;   // clear to send the data
constexpr std::uint8_t kXdp = 0x15;   // data
constexpr std::uint8_t kVer = 0x2D;   // the version, asked for
constexpr std::uint8_t kSkip = 0x36;  // skip or exit: a refusal, with a reason code
constexpr std::uint8_t kAck = 0x56;
constexpr std::uint8_t kErr = 0x5A;  // checksum error: send the last packet again
constexpr std::uint8_t kRdy = 0x68;  // are you ready?
constexpr std::uint8_t kScr = 0x6D;  // a screen dump, asked for
constexpr std::uint8_t kCmd = 0x87;  // a key press from afar, the key in the word
constexpr std::uint8_t kDel = 0x88;  // delete a variable
constexpr std::uint8_t kEot = 0x92;  // end of transmission
constexpr std::uint8_t kReq = 0xA2;  // a variable, asked for
constexpr std::uint8_t kRts = 0xC9;  // request to send
}  // namespace link_command

// "VAR", "XDP", ...; null for an id no command has.
const char* LinkCommandName(std::uint8_t command);
// Whether packets of this command carry data and a checksum.
bool LinkCommandCarriesData(std::uint8_t command);
// "VAR", or "command 0x42" for one without a name.
std::string DescribeLinkCommand(std::uint8_t command);

// The sum of the bytes, modulo 65536.
std::uint16_t LinkChecksum(std::span<const std::uint8_t> data);

struct LinkPacket {
  std::uint8_t machine = 0;
  std::uint8_t command = 0;
  std::uint16_t word = 0;          // the data's length, or the command's parameter
  std::vector<std::uint8_t> data;  // only for the commands that carry data
};

// The packet's bytes. A data-carrying packet's word is its data's length
// (data over 65535 bytes cannot be a packet; the caller keeps below that).
std::vector<std::uint8_t> EncodeLinkPacket(std::uint8_t machine, std::uint8_t command,
                                           std::span<const std::uint8_t> data = {});
// A packet without data, with its word.
std::vector<std::uint8_t> EncodeLinkHeader(std::uint8_t machine, std::uint8_t command, std::uint16_t word = 0);

enum class PacketFault {
  None,
  BadMachine,     // the first byte is no machine id this end accepts
  BadCommand,     // no command has this id
  TooLong,        // more data than this end accepts
  BadChecksum,    // the whole packet came, but its sum does not match
};

class PacketReader {
 public:
  enum class Status { NeedMore, Packet, Fault };
  struct Result {
    Status status = Status::NeedMore;
    std::size_t consumed = 0;  // bytes of the input used, up to and including the packet or the fault
    PacketFault fault = PacketFault::None;
    std::string message;       // the fault, for the user
  };

  // Accepts packets from the given machine ids with at most maxData bytes
  // of data.
  PacketReader(std::vector<std::uint8_t> machines, std::size_t maxData);

  // Reads until a packet is whole, a fault is found or the input ends. After
  // Packet, packet() holds it until the next call. After a checksum fault
  // the stream is still in step (the packet was read whole; packet() holds
  // its header); after the other faults it is not, and the reader starts
  // over at the next byte.
  Result Feed(std::span<const std::uint8_t> bytes);
  const LinkPacket& packet() const { return packet_; }
  LinkPacket TakePacket() { return std::move(packet_); }

  // The limit on data, for the packets whose header has not yet been read.
  void SetMaxData(std::size_t maxData) { maxData_ = maxData; }
  std::size_t maxData() const { return maxData_; }
  // Forgets a packet half read.
  void Reset();
  // A packet has begun and is not whole yet.
  bool Partial() const { return stage_ != Stage::Header || headerBytes_ > 0; }
  // The data-carrying packet being read: its command and data so far.
  bool ReadingData() const { return stage_ == Stage::Data || stage_ == Stage::Checksum; }
  std::uint8_t command() const { return header_[1]; }
  std::size_t dataSoFar() const { return packet_.data.size(); }
  std::size_t dataExpected() const { return packet_.word; }

 private:
  enum class Stage { Header, Data, Checksum };
  Result HeaderDone(std::size_t consumed);
  Result Fail(PacketFault fault, std::size_t consumed, std::string message);

  std::vector<std::uint8_t> machines_;
  std::size_t maxData_;
  Stage stage_ = Stage::Header;
  std::uint8_t header_[4] = {};
  std::size_t headerBytes_ = 0;
  std::uint8_t checksum_[2] = {};
  std::size_t checksumBytes_ = 0;
  LinkPacket packet_;
};

}  // namespace pellux
