// The framing of the GDB remote serial protocol, apart from what the packets
// mean: "$payload#cs" with a two-digit checksum, '+'/'-' acknowledgements,
// the interrupt byte 0x03, the escaping of binary data, and hex numbers.
//
// The reader takes the stream in whatever pieces the transport delivers
// (part of a packet, several packets, noise between them) and turns it into
// events; it never holds more than kMaxPayload bytes of one packet: a longer
// one is reported the moment it passes the limit, and the rest of it, up to
// its '#' and checksum, is skipped however long it runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pellux::gdb {

// The longest payload accepted, told to the debugger in qSupported (0x4000).
constexpr std::size_t kMaxPayload = 0x4000;

constexpr char kInterruptByte = 0x03;

struct PacketEvent {
  enum class Kind {
    Packet,       // a whole packet with a good checksum: payload holds it
    Interrupt,    // 0x03 between packets: the debugger's Ctrl-C
    Ack,          // '+'
    Nack,         // '-': the last reply must be sent again
    BadChecksum,  // a packet whose checksum is wrong or unreadable
    Oversized,    // a packet longer than kMaxPayload (its bytes are dropped)
  };
  Kind kind;
  std::string payload;

  bool operator==(const PacketEvent&) const = default;
};

class PacketReader {
 public:
  // Appends the events the bytes complete. Bytes outside a packet other than
  // '$', '+', '-' and 0x03 are noise and ignored.
  void Feed(std::string_view bytes, std::vector<PacketEvent>& events);
  // Reads up to and including the byte that completes one event, which it
  // appends; answers the bytes read (all of them when none completes one).
  std::size_t FeedOne(std::string_view bytes, std::vector<PacketEvent>& events);

  // True while part of a packet has been read.
  bool InPacket() const { return state_ != State::Idle; }

 private:
  enum class State { Idle, Payload, CheckHigh, CheckLow, Skip, SkipCheck };
  // One byte; true when it completed an event.
  bool Step(char c, std::vector<PacketEvent>& events);
  void Finish(std::vector<PacketEvent>& events);
  void Start();

  State state_ = State::Idle;
  std::string payload_;
  std::uint8_t sum_ = 0;
  int check_ = 0;  // the checksum digits read, or -1 when one was not hex; while skipping, how many
};

// "$payload#cs". The payload goes as it is: binary data in it must have
// been escaped (EscapeBinary).
std::string FramePacket(std::string_view payload);

// Escapes the bytes that would end or disturb a frame ('$', '#', '}' and
// '*', which the debugger reads as run-length encoding) as '}' and the
// byte XOR 0x20.
std::string EscapeBinary(std::string_view data);

// Undoes the '}' escape of binary data (X packets). Empty when the data ends
// in a lone escape character.
std::optional<std::vector<std::uint8_t>> UnescapeBinary(std::string_view data);

// Two hex digits per byte, each pair naming one byte; nothing when the text
// has an odd length or a non-hex character.
std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::string_view text);

// Lower-case hex, two digits per byte.
std::string HexBytes(std::span<const std::uint8_t> bytes);
std::string HexBytes(std::string_view text);

// The value as big-endian bytes (the 68000's order) in hex: 8 digits.
std::string HexLong(std::uint32_t value);

// Splits "a,b" or "a;b;c" at each separator.
std::vector<std::string_view> Split(std::string_view text, char separator);

}  // namespace pellux::gdb
