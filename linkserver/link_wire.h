// What crosses the socket between two Pellux programs' link ports: a hello,
// then small frames. Plain bytes, no meaning beyond the cable's wires.
//
// Hello, each end first, at once:
//   "PELLUX-LINK" (11 bytes), then the version (1 byte, now 1).
// Then frames, in the order things happened on the sending end:
//   0x01 n b1..bn   bytes the calculator sent, n from 1 to 255
//   0x02 held       the lines it holds low now (bits 0-1: red, white)
//   0x03            it pulsed both lines low (a link reset); pulses shorter
//                   than a pass of its loop are carried too
//   0x04            refused: this end is linked to another program already
//                   (it closes the connection after)
// Anything else is not a Pellux link, and the connection is closed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace pellux::link_wire {

constexpr std::string_view kMagic = "PELLUX-LINK";
constexpr std::uint8_t kVersion = 1;
constexpr std::size_t kHelloBytes = kMagic.size() + 1;
constexpr std::size_t kMaxFrameBytes = 255;  // calculator bytes in one frame
constexpr std::size_t kLongestFrame = 2 + kMaxFrameBytes;

enum class FrameKind : std::uint8_t { Bytes = 0x01, Lines = 0x02, Reset = 0x03, Busy = 0x04 };

std::string Hello(std::uint8_t version = kVersion);
// At most kMaxFrameBytes bytes.
std::string BytesFrame(std::span<const std::uint8_t> bytes);
std::string LinesFrame(std::uint8_t held);
std::string ResetFrame();
std::string BusyFrame();

// The other end's hello, as far as it has come.
struct HelloCheck {
  enum class Status {
    Incomplete,    // good so far; more bytes needed
    Good,          // a Pellux link of this version
    NotPellux,     // something else entirely
    OtherVersion,  // a Pellux link of another version
  };
  Status status = Status::Incomplete;
  std::uint8_t version = 0;  // OtherVersion
};
HelloCheck CheckHello(std::string_view input);

// The frame at the start of the input.
struct Decoded {
  enum class Status { Incomplete, Frame, Bad };
  Status status = Status::Incomplete;
  std::size_t length = 0;  // bytes the frame takes, for Frame
  FrameKind kind = FrameKind::Bytes;
  std::string_view bytes;  // Bytes: the calculator's bytes, inside the input
  std::uint8_t lines = 0;  // Lines
  std::string problem;     // Bad: what is wrong, for the user
};
Decoded DecodeFrame(std::string_view input);

// The first bytes of what a program sent, printable: text as it is, other
// bytes as \xNN, cut off after a few dozen.
std::string Printable(std::string_view bytes);

}  // namespace pellux::link_wire
