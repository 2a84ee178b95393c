// The link port: the support chip's byte-wide transmitter and receiver on the
// two-wire cable (ports 0x60000C-0x60000F), and the cable's end at the
// machine's front wall.
//
// Port 0x0C, control (reads back as written, bit 4 always 0):
//   bit 7  autostart enable (kept, no effect here)
//   bit 6  link disable: the byte engine stops; writing it drops the bytes in
//          flight and clears the error
//   bit 5  time-out disable: a byte nobody takes waits for ever
//   bit 3  interrupt (level 4) on a link error
//   bit 2  interrupt on link activity (a byte starts to arrive, the other end
//          holds a line low)
//   bit 1  interrupt when the transmit buffer is empty
//   bit 0  interrupt when a byte is in the receive buffer
// Port 0x0D, status (read only; reading clears the error bit):
//   bit 7 error, bit 6 transmit buffer empty, bit 5 receive buffer full,
//   bit 3 activity. With nothing sent and nothing received it reads 0x40.
// Port 0x0E, the lines themselves: bits 0-1 written and read back hold the
//   red and white lines low; bits 2-3 read 1 while the other end holds red or
//   white low.
// Port 0x0F: a write puts a byte in the transmit buffer, a read takes the
//   byte in the receive buffer (the last one again when none is waiting).
//
// The interrupt is requested when one of the four conditions begins while
// its bit is set, or when a write of port 0x0C sets the bit of a condition
// that holds (writes it 1, whether or not it was 1 before); a condition that
// merely goes on holding asks nothing more.
//
// Time on the wire is link time: one unit per instruction the processor
// runs, and while it sleeps a tick's worth of units per timer tick, so a
// transfer is as deterministic as the rest of the machine and goes as fast
// as the processor is run.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "machine/speed.h"

namespace pellux {

class Calculator;

// Link time runs at the processor's nominal rate.
constexpr std::uint64_t kLinkUnitsPerSecond = kCalculatorInstructionsPerSecond;
constexpr std::uint32_t kLinkUnitsPerTick = 1172;  // 1/1024 s, rounded
// A byte's time on the wire: about 10 KB a second at the nominal rate.
constexpr std::uint32_t kLinkByteUnits = 120;
// How long the transmitter holds a byte nobody takes before it gives up.
constexpr std::uint64_t kLinkTimeoutUnits = 2 * kLinkUnitsPerSecond;

// The lines, as bits of port 0x0E and of the wire's line masks.
namespace link_line {
constexpr std::uint8_t kRed = 0x01;
constexpr std::uint8_t kWhite = 0x02;
constexpr std::uint8_t kBoth = 0x03;
}  // namespace link_line

// The link port's conditions, in the control port's bit order (its
// interrupt enables), as LinkPort::conditions holds them.
namespace link_condition {
constexpr std::uint8_t kReceiveFull = 0x01;
constexpr std::uint8_t kTransmitEmpty = 0x02;
constexpr std::uint8_t kActivity = 0x04;
constexpr std::uint8_t kError = 0x08;
constexpr std::uint8_t kLookAgain = 0x80;  // changed since last looked at
}  // namespace link_condition

// A bounded first-in first-out queue of bytes, plain data.
template <std::size_t N>
struct ByteQueue {
  std::array<std::uint8_t, N> bytes{};
  std::uint32_t head = 0;
  std::uint32_t count = 0;

  static constexpr std::size_t capacity() { return N; }
  bool empty() const { return count == 0; }
  bool full() const { return count == N; }
  std::size_t room() const { return N - count; }
  bool Push(std::uint8_t byte) {
    if (full()) return false;
    bytes[(head + count) % N] = byte;
    ++count;
    return true;
  }
  std::optional<std::uint8_t> Pop() {
    if (empty()) return std::nullopt;
    const std::uint8_t byte = bytes[head];
    head = static_cast<std::uint32_t>((head + 1) % N);
    --count;
    return byte;
  }
  void Clear() { head = count = 0; }
};

// The chip's state: part of the machine, saved with it.
struct LinkPort {
  std::uint64_t time = 0;  // link units since the machine started
  bool error = false;
  // The transmitter: a byte being shifted out, then waiting for the cable.
  bool txFull = false;
  std::uint8_t txByte = 0;
  std::uint32_t txUnits = 0;   // until it has been shifted out
  std::uint64_t txWaited = 0;  // units it has waited for the cable since
  // The receiver: a byte on its way in, then in the buffer (port 0x0F).
  bool arriving = false;
  std::uint8_t arrivingByte = 0;
  std::uint32_t arrivingUnits = 0;
  bool rxFull = false;
  // What the other end holds low (link_line bits), as last told.
  std::uint8_t peerLines = 0;
  // The conditions as they stood when last looked at, for the edges that
  // request the interrupt: bit 0 receive full, 1 transmit empty, 2
  // activity, 3 error (the control port's bit order); bit 7 when something
  // changed since that needs a look. At start only the transmit buffer is
  // empty.
  std::uint8_t conditions = link_condition::kTransmitEmpty;
};

// The cable's end at the front wall: what the other end has sent and the
// machine has not yet taken in, and what the machine has sent and the other
// end has not yet taken. Not saved: a loaded machine has no cable.
struct LinkWire {
  bool plugged = false;
  ByteQueue<256> toCalculator;
  ByteQueue<256> fromCalculator;
  // This end pulsed both lines low (a link reset) since the other end last
  // asked; a pulse may be shorter than a pass of the loop.
  bool resetPulsed = false;
};

// --- The machine's side, for the bus and the run slices ---

std::uint8_t LinkRead(Calculator& m, unsigned port);           // 0x0C-0x0F
void LinkWrite(Calculator& m, unsigned port, std::uint8_t v);  // 0x0C-0x0F
// The port byte as a debugger sees it, without side effects.
std::uint8_t LinkPeek(const Calculator& m, unsigned port);
// Moves link time on, event by event; answers whether a level-4 interrupt
// was requested. Call it between instructions: with the units run since the
// last call, or with 0 to let what the port accesses or the other end
// changed take effect now (a debugger's step moves no time).
bool AdvanceLink(Calculator& m, std::uint32_t units);
// Units until something happens on the link by itself (a byte shifted out
// or arrived, a time-out), 0 when something waits for AdvanceLink now, or
// none when nothing would.
std::optional<std::uint32_t> LinkUnitsToNextEvent(const Calculator& m);
// The common case, one test before every run: when last looked at only
// the transmit buffer's emptiness held, and nothing changed since (every
// change outside AdvanceLink sets kLookAgain). Then LinkUnitsToNextEvent has
// none, and until an instruction asks for the device's service the only
// change on the link is its time.
inline bool LinkQuiet(const LinkPort& link) { return link.conditions == link_condition::kTransmitEmpty; }

// --- The front wall, for whatever is at the other end of the cable ---

// A cable in the port or not. Unplugged, bytes sent wait and time out.
void PlugLink(Calculator& m, bool plugged);
bool LinkPlugged(const Calculator& m);
// How many bytes the cable takes towards the machine now, and one of them.
std::size_t LinkRoom(const Calculator& m);
bool LinkPut(Calculator& m, std::uint8_t byte);
// The bytes the machine has sent, oldest first.
std::optional<std::uint8_t> LinkTake(Calculator& m);
// The lines this end holds low (port 0x0E bits 0-1), and the other end's.
std::uint8_t LinkLinesHeld(const Calculator& m);
void SetLinkPeerLines(Calculator& m, std::uint8_t held);
// Whether this end pulsed both lines low since the last call (and forgets it).
bool TakeLinkReset(Calculator& m);
// The other end pulsed both lines low: the bytes in flight (sent, arriving,
// received and unread, on the cable towards us) are lost and, when that
// lost any with the byte engine on, the error is raised. A reset of an idle
// link is no error: software answers an error with a reset of its own, and
// two machines that each did so would reset each other for ever.
void ResetLinkFromPeer(Calculator& m);
// Link units since the machine started: the clock for the other end's
// time-outs.
std::uint64_t LinkTime(const Calculator& m);
// Bytes in flight anywhere on this end: in the chip, or on a plugged cable
// (a state saved so says it was saved during a transfer).
bool LinkBusy(const Calculator& m);

// Something at the other end of the cable (the computer's side, a socket to
// another Pellux, an in-process cable): the driver lets it trade bytes and
// lines with the machine's front wall after each pass of its loop.
class LinkPeer {
 public:
  virtual ~LinkPeer() = default;
  virtual void Exchange(Calculator& m) = 0;
};

}  // namespace pellux
