#include "machine/ports.h"

#include "cpu/exceptions.h"
#include "machine/calculator.h"

namespace pellux {

const std::array<std::uint8_t, 32> kPortStartValues = {
    0x84, 0x00, 0x14, 0x01, 0x14, 0x01, 0x14, 0x01, 0x14, 0x01, 0x14, 0x01, 0x07, 0x40, 0x10, 0x00,
    0x14, 0x01, 0x14, 0x01, 0x14, 0x00, 0x14, 0xB2, 0x03, 0xFF, 0x16, 0xFF, 0x14, 0x01, 0x14, 0x01,
};

namespace {
constexpr std::uint32_t kPortMask = 0x1F;
constexpr std::uint32_t kIgnoredWriteBits = 0x900000;  // bits 23 and 20

// What each port keeps of a byte written to it; the other bits read 0.
// Port 0x00: bits 7, 5 and 2 are kept, and bit 2 always reads 1.
constexpr std::uint8_t kPort00Kept = 0xA4;
constexpr std::uint8_t kPort00AlwaysSet = 0x04;
// Port 0x01: bit 2 write-protects the RAM below 0x400; bit 0 is kept too.
constexpr std::uint8_t kProtectionKept = 0x05;
// Port 0x05: bit n lets level n + 1's source wake the processor; the ON key
// (bit 5 of wakeMask, level 6) always does.
constexpr std::uint8_t kWakeSourcesKept = 0x1F;
constexpr std::uint32_t kWakeAlways = 0x20;
// Port 0x0C: everything but bit 4 (the link chip keeps the same bits).
constexpr std::uint8_t kLinkControlKept = 0xEF;
// Port 0x0D: the bits the link's status can show: error, transmit empty,
// receive full, activity.
constexpr std::uint8_t kLinkStatusBits = 0xE8;
// Port 0x0E: the two lines this end drives, bits 0 and 1.
constexpr std::uint8_t kLinkLinesKept = 0x03;
// Port 0x15: bit 0 runs the ticks, bit 3 the programmable timer; bits 5
// and 6 read 0.
constexpr std::uint8_t kTimerControlKept = 0x9F;
// Port 0x18: the selects of key rows 8 and 9.
constexpr std::uint8_t kKeyRowsHighKept = 0x03;
// Port 0x1A: bit 1 is the ON key (set while it is up), the rest stays 0x14.
constexpr std::uint8_t kOnKeyBit = 0x02;
constexpr std::uint8_t kOnKeyRest = 0x14;
// lcdBase: port 0x10 gives its bits 11-18, port 0x11 its bits 3-10.
constexpr std::uint32_t kLcdBaseFromHigh = 0x7F800;
constexpr std::uint32_t kLcdBaseFromLow = 0x7F8;
// The bytes a port can hold besides its start value: those whose bits
// outside `free` equal `fixed`. It follows the writes below, the timer
// (port 0x17), the keyboard (ports 0x1A, 0x1B) and the link (port 0x0F
// holds the byte last received); a port none of them changes keeps its
// start value.
struct PortValues {
  bool changes = false;
  std::uint8_t free = 0;
  std::uint8_t fixed = 0;
};
constexpr PortValues Changes(std::uint8_t free, std::uint8_t fixed = 0) { return {true, free, fixed}; }

constexpr std::array<PortValues, 32> kPortValues = [] {
  std::array<PortValues, 32> ports{};
  ports[0x00] = Changes(static_cast<std::uint8_t>(kPort00Kept & ~kPort00AlwaysSet), kPort00AlwaysSet);
  ports[port::kProtection] = Changes(kProtectionKept);
  ports[port::kLinkControl] = Changes(kLinkControlKept);
  ports[port::kLinkStatus] = Changes(kLinkStatusBits);
  ports[port::kLinkLines] = Changes(kLinkLinesKept);  // or its start value, 0x10
  ports[port::kLinkData] = Changes(0xFF);             // the link's receive buffer (machine/link_port.h)
  ports[port::kTimerControl] = Changes(kTimerControlKept);
  ports[port::kTimerCount] = Changes(0xFF);  // the count: any byte
  ports[port::kKeyRowMaskHigh] = Changes(kKeyRowsHighKept);
  ports[port::kKeyRowMask] = Changes(0xFF);
  ports[port::kOnKey] = Changes(kOnKeyBit, kOnKeyRest);  // 0x14 ON down, 0x16 up
  ports[port::kKeyColumns] = Changes(0xFF);              // the columns of the rows last selected
  return ports;
}();

bool LinkPortNumber(unsigned n) { return n >= port::kLinkControl && n <= port::kLinkData; }
}  // namespace

std::uint8_t PortRead(Calculator& m, std::uint32_t address) {
  const unsigned n = address & kPortMask;
  if (LinkPortNumber(n)) return LinkRead(m, n);
  return m.ports[n];
}

std::uint8_t PortPeek(const Calculator& m, std::uint32_t address) {
  const unsigned n = address & kPortMask;
  if (LinkPortNumber(n)) return LinkPeek(m, n);
  return m.ports[n];
}

void PortWrite(Calculator& m, std::uint32_t address, std::uint8_t value) {
  if (address & kIgnoredWriteBits) return;
  std::uint8_t* ports = m.ports.data();
  switch (address & kPortMask) {
    case 0x00:
      ports[0x00] = (value & kPort00Kept) | kPort00AlwaysSet;
      break;
    case port::kProtection:
      ports[port::kProtection] = value & kProtectionKept;
      break;
    case port::kLowPower:
      m.wakeMask = (value & kWakeSourcesKept) | kWakeAlways;
      // An interrupt requested while they were masked, just before, still
      // holds its line: one the new mask lets through keeps the processor
      // awake (bit n of the mask is level n + 1).
      if (!((m.cpu.pendingInts >> 1) & value & kWakeSourcesKept)) RequestStop(m.cpu);
      break;
    case port::kLinkControl:
    case port::kLinkStatus:
    case port::kLinkLines:
    case port::kLinkData:
      LinkWrite(m, address & kPortMask, value);
      break;
    case port::kLcdBaseHigh:
      m.lcdBase = static_cast<std::uint32_t>(value) << 11 | (m.lcdBase & kLcdBaseFromLow);
      break;
    case port::kLcdBaseLow:
      m.lcdBase = static_cast<std::uint32_t>(value) << 3 | (m.lcdBase & kLcdBaseFromHigh);
      break;
    case port::kTimerControl:
      ports[port::kTimerControl] = value & kTimerControlKept;
      break;
    case port::kTimerCount:
      m.timerReload = value;
      ports[port::kTimerCount] = value;
      break;
    case port::kKeyRowMaskHigh:
      ports[port::kKeyRowMaskHigh] = value & kKeyRowsHighKept;
      UpdateKeyboardPort(m);
      break;
    case port::kKeyRowMask:
      ports[port::kKeyRowMask] = value;
      UpdateKeyboardPort(m);
      break;
    default:  // the other ports, 0x1A-0x1F included, ignore writes
      break;
  }
}

bool PortTakesPokes(std::uint32_t address) {
  constexpr std::uint32_t kTakesPokes = 1u << 0x00 | 1u << port::kProtection | 1u << port::kLcdBaseHigh |
                                        1u << port::kLcdBaseLow | 1u << port::kTimerControl |
                                        1u << port::kTimerCount | 1u << port::kKeyRowMaskHigh |
                                        1u << port::kKeyRowMask;
  if (address & kIgnoredWriteBits) return false;
  return (kTakesPokes >> (address & kPortMask) & 1) != 0;
}

bool PortCanHold(unsigned n, std::uint8_t value) {
  const PortValues& rule = kPortValues[n & kPortMask];
  return value == kPortStartValues[n & kPortMask] ||
         (rule.changes && (value & static_cast<std::uint8_t>(~rule.free)) == rule.fixed);
}

void UpdateKeyboardPort(Calculator& m) {
  std::uint8_t columns = 0xFF;
  const std::uint8_t rows = m.ports[port::kKeyRowMask];
  for (unsigned i = 0; i < 8; ++i) {
    if (!(rows & (1u << i))) columns &= m.keyMatrix[i];
  }
  const std::uint8_t highRows = m.ports[port::kKeyRowMaskHigh];
  if (!(highRows & 1)) columns &= m.keyMatrix[8];
  if (!(highRows & 2)) columns &= m.keyMatrix[9];
  m.ports[port::kKeyColumns] = columns;
}

}  // namespace pellux
