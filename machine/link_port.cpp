// The link port's chip: a byte engine on the two-wire cable, the lines
// themselves, and the level-4 interrupt (the register map is in
// link_port.h).
//
// Time on the wire moves only through AdvanceLink, which the run slices call
// between runs of instructions. A port access in the middle of a run changes
// only what the processor must see at once (the buffers' flags, the bytes);
// what takes time or asks for the interrupt starts when the run ends right
// after the accessing instruction (RequestDeviceService), so a byte written
// by an instruction starts on its way after that instruction, and an
// interrupt is asked for before the next one.
#include "machine/link_port.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "cpu/exceptions.h"
#include "machine/calculator.h"
#include "machine/memory_bus.h"

namespace pellux {

namespace {

// Port 0x0C.
constexpr std::uint8_t kControlMask = 0xEF;
constexpr std::uint8_t kLinkDisable = 0x40;
constexpr std::uint8_t kTimeoutDisable = 0x20;
constexpr std::uint8_t kInterruptBits = 0x0F;

namespace condition = link_condition;

// Port 0x0D.
constexpr std::uint8_t kStatusError = 0x80;
constexpr std::uint8_t kStatusTransmitEmpty = 0x40;
constexpr std::uint8_t kStatusReceiveFull = 0x20;
constexpr std::uint8_t kStatusActivity = 0x08;

// The other end's lines as port 0x0E shows them, in bits 2-3.
unsigned PeerLineBits(const LinkPort& link) { return (link.peerLines & link_line::kBoth) << 2; }

bool EngineOn(const Calculator& m) { return !(m.ports[port::kLinkControl] & kLinkDisable); }
bool TimeoutsOn(const Calculator& m) { return !(m.ports[port::kLinkControl] & kTimeoutDisable); }

std::uint8_t Conditions(const LinkPort& link) {
  std::uint8_t held = 0;
  if (link.rxFull) held |= condition::kReceiveFull;
  if (!link.txFull) held |= condition::kTransmitEmpty;
  if (link.arriving || (link.peerLines & link_line::kBoth)) held |= condition::kActivity;
  if (link.error) held |= condition::kError;
  return held;
}

std::uint8_t Status(const LinkPort& link) {
  const std::uint8_t held = Conditions(link);
  std::uint8_t status = 0;
  if (held & condition::kError) status |= kStatusError;
  if (held & condition::kTransmitEmpty) status |= kStatusTransmitEmpty;
  if (held & condition::kReceiveFull) status |= kStatusReceiveFull;
  if (held & condition::kActivity) status |= kStatusActivity;
  return status;
}

// Port 0x0D holds the status as a read would give it, kept up to date after
// every change.
void ShowStatus(Calculator& m) { m.ports[port::kLinkStatus] = Status(m.link); }

// A change outside AdvanceLink: the next run looks at the link first.
void Changed(Calculator& m) {
  m.link.conditions |= condition::kLookAgain;
  ShowStatus(m);
}

// The transmitter has shifted its byte out and waits for the cable.
bool TransmitWaiting(const LinkPort& link) { return link.txFull && link.txUnits == 0; }

bool CanDeliver(const Calculator& m) {
  return TransmitWaiting(m.link) && m.wire.plugged && !m.wire.fromCalculator.full();
}

bool TimedOut(const Calculator& m) {
  return TransmitWaiting(m.link) && TimeoutsOn(m) && m.link.txWaited >= kLinkTimeoutUnits;
}

bool CanReceive(const Calculator& m) {
  const LinkPort& link = m.link;
  return EngineOn(m) && !link.arriving && !link.rxFull && !m.wire.toCalculator.empty();
}

void DropBytesInFlight(LinkPort& link) {
  link.txFull = false;
  link.txUnits = 0;
  link.txWaited = 0;
  link.arriving = false;
  link.arrivingUnits = 0;
  link.rxFull = false;
}

// What happens at once, without time: the byte shifted out goes into the
// cable (or is given up), the next byte from the cable starts to arrive.
void Pump(Calculator& m) {
  LinkPort& link = m.link;
  if (CanDeliver(m)) {
    m.wire.fromCalculator.Push(link.txByte);
    link.txFull = false;
    link.txWaited = 0;
  } else if (TimedOut(m)) {
    link.txFull = false;
    link.txWaited = 0;
    link.error = true;
  }
  if (CanReceive(m)) {
    link.arrivingByte = *m.wire.toCalculator.Pop();
    link.arriving = true;
    link.arrivingUnits = kLinkByteUnits;
  }
}

// Asks for the interrupt when a condition whose bit is set began since the
// conditions were last looked at; answers whether it did.
bool Settle(Calculator& m) {
  const std::uint8_t held = Conditions(m.link);
  const auto began =
      static_cast<std::uint8_t>(held & ~m.link.conditions & m.ports[port::kLinkControl] & kInterruptBits);
  m.link.conditions = held;
  ShowStatus(m);
  if (!began) return false;
  RequestInterrupt(m, level::kLink);
  return true;
}

// The units until the next byte is shifted out, has arrived, or times out.
std::optional<std::uint64_t> UnitsToTimedEvent(const Calculator& m) {
  const LinkPort& link = m.link;
  std::optional<std::uint64_t> next;
  if (link.txFull && link.txUnits > 0) {
    next = link.txUnits;
  } else if (TransmitWaiting(link) && TimeoutsOn(m)) {
    next = kLinkTimeoutUnits - std::min(link.txWaited, kLinkTimeoutUnits);
  }
  if (link.arriving) next = std::min<std::uint64_t>(next.value_or(link.arrivingUnits), link.arrivingUnits);
  return next;
}

}  // namespace

std::uint8_t LinkRead(Calculator& m, unsigned port) {
  LinkPort& link = m.link;
  switch (port) {
    case port::kLinkStatus: {
      const std::uint8_t status = m.ports[port::kLinkStatus];
      link.error = false;
      ShowStatus(m);
      return status;
    }
    case port::kLinkLines:
      return LinkPeek(m, port);
    case port::kLinkData:
      if (link.rxFull) {
        // The next byte may start to arrive once this instruction is done.
        link.rxFull = false;
        ShowStatus(m);
        RequestDeviceService(m.cpu);
      }
      return m.ports[port::kLinkData];
    default:
      return m.ports[port];
  }
}

void LinkWrite(Calculator& m, unsigned port, std::uint8_t v) {
  LinkPort& link = m.link;
  switch (port) {
    case port::kLinkControl:
      m.ports[port::kLinkControl] = v & kControlMask;
      if (v & kLinkDisable) {
        DropBytesInFlight(link);
        link.error = false;
      }
      // A bit written 1 asks again for a condition that holds, as if it
      // had just begun.
      link.conditions &= static_cast<std::uint8_t>(~(v & kInterruptBits));
      Changed(m);
      RequestDeviceService(m.cpu);
      return;
    case port::kLinkLines:
      m.ports[port::kLinkLines] = v & link_line::kBoth;
      if ((v & link_line::kBoth) == link_line::kBoth) m.wire.resetPulsed = true;
      break;
    case port::kLinkData:
      // With the buffer full the byte is lost (an overrun); with the engine
      // off nothing is sent.
      if (!EngineOn(m) || link.txFull) break;
      link.txFull = true;
      link.txByte = v;
      link.txUnits = kLinkByteUnits;
      link.txWaited = 0;
      Changed(m);
      RequestDeviceService(m.cpu);
      return;
    default:  // the status port takes no writes
      break;
  }
  ShowStatus(m);
}

std::uint8_t LinkPeek(const Calculator& m, unsigned port) {
  switch (port) {
    case port::kLinkStatus:
      return m.ports[port::kLinkStatus];
    case port::kLinkLines:
      return static_cast<std::uint8_t>(m.ports[port::kLinkLines] | PeerLineBits(m.link));
    default:
      return m.ports[port];
  }
}

bool AdvanceLink(Calculator& m, std::uint32_t units) {
  LinkPort& link = m.link;
  bool requested = false;
  // Event by event, so that what one event starts is timed from it.
  do {
    std::uint32_t step = units;
    if (const auto next = UnitsToTimedEvent(m)) {
      step = static_cast<std::uint32_t>(std::min<std::uint64_t>(step, *next));
    }
    units -= step;
    link.time += step;
    if (link.txFull) {
      if (link.txUnits > 0) {
        link.txUnits -= step;
      } else {
        link.txWaited += step;
      }
    }
    if (link.arriving) {
      link.arrivingUnits -= step;
      if (link.arrivingUnits == 0) {
        link.arriving = false;
        link.rxFull = true;
        m.ports[port::kLinkData] = link.arrivingByte;
      }
    }
    Pump(m);
    requested |= Settle(m);
  } while (units > 0);
  return requested;
}

std::optional<std::uint32_t> LinkUnitsToNextEvent(const Calculator& m) {
  if (CanDeliver(m) || TimedOut(m) || CanReceive(m) || Conditions(m.link) != m.link.conditions) return 0;
  const std::optional<std::uint64_t> next = UnitsToTimedEvent(m);
  if (!next) return std::nullopt;
  return static_cast<std::uint32_t>(
      std::min<std::uint64_t>(*next, std::numeric_limits<std::uint32_t>::max()));
}

void PlugLink(Calculator& m, bool plugged) {
  LinkWire& wire = m.wire;
  const bool changed = plugged != wire.plugged || m.link.peerLines != 0 || !wire.toCalculator.empty();
  if (!plugged) {
    // What was on the cable goes with it, and nobody holds the lines.
    wire.toCalculator.Clear();
    wire.fromCalculator.Clear();
    wire.resetPulsed = false;
    m.link.peerLines = 0;
  }
  wire.plugged = plugged;
  if (changed) Changed(m);
}

bool LinkPlugged(const Calculator& m) { return m.wire.plugged; }

std::size_t LinkRoom(const Calculator& m) { return m.wire.plugged ? m.wire.toCalculator.room() : 0; }

bool LinkPut(Calculator& m, std::uint8_t byte) {
  if (!m.wire.plugged || !m.wire.toCalculator.Push(byte)) return false;
  m.link.conditions |= condition::kLookAgain;
  return true;
}

std::optional<std::uint8_t> LinkTake(Calculator& m) { return m.wire.fromCalculator.Pop(); }

std::uint8_t LinkLinesHeld(const Calculator& m) { return m.ports[port::kLinkLines] & link_line::kBoth; }

void SetLinkPeerLines(Calculator& m, std::uint8_t held) {
  held &= link_line::kBoth;
  if (held == m.link.peerLines) return;
  m.link.peerLines = held;
  Changed(m);
}

bool TakeLinkReset(Calculator& m) { return std::exchange(m.wire.resetPulsed, false); }

void ResetLinkFromPeer(Calculator& m) {
  LinkPort& link = m.link;
  const bool lost = link.txFull || link.arriving || link.rxFull || !m.wire.toCalculator.empty();
  DropBytesInFlight(link);
  m.wire.toCalculator.Clear();
  if (lost && EngineOn(m)) link.error = true;
  Changed(m);
}

std::uint64_t LinkTime(const Calculator& m) { return m.link.time; }

bool LinkBusy(const Calculator& m) {
  const LinkPort& link = m.link;
  const bool onTheCable = m.wire.plugged && (!m.wire.toCalculator.empty() || !m.wire.fromCalculator.empty());
  return onTheCable || link.txFull || link.arriving || link.rxFull;
}

}  // namespace pellux
