// The emulated TI-92 Plus: one record that every part of the machine reads
// and writes directly, with the processor's registers at its head.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "cpu/breakpoint_set.h"
#include "cpu/cpu_state.h"
#include "machine/clock.h"
#include "machine/fetch_window.h"
#include "machine/keys.h"
#include "machine/lcd_blend.h"
#include "machine/link_port.h"
#include "machine/stop_reason.h"
#include "machine/watchpoints.h"

namespace pellux {

constexpr std::uint32_t kRamSize = 0x40000;    // 256 KB
constexpr std::uint32_t kRomSize = 0x200000;   // 2 MB of flash, 32 blocks of 64 KB
constexpr std::uint32_t kPortCount = 32;
constexpr std::uint32_t kKeyRows = 10;

// The flash chip's command state.
enum class FlashState : std::uint32_t {
  ReadArray = 0,     // reads give the contents
  StatusRead = 1,    // reads give all ones until 0xFFFF is written
  CommandReady = 2,  // 0x5050 seen
  EraseSetup = 3,    // 0x2020 seen: 0xD0D0 erases a block
  ProgramSetup = 4,  // 0x1010 seen: the next write programs a word
};

// Ports with a meaning of their own (port n is the byte at 0x600000 + n).
namespace port {
constexpr unsigned kProtection = 0x01;  // bit 2: low 1 KB of RAM is write-protected
constexpr unsigned kLowPower = 0x05;    // a write stops the processor until a wake-up source fires
constexpr unsigned kLinkControl = 0x0C;  // the link port (machine/link_port.h), 0x0C-0x0F
constexpr unsigned kLinkStatus = 0x0D;
constexpr unsigned kLinkLines = 0x0E;
constexpr unsigned kLinkData = 0x0F;
constexpr unsigned kLcdBaseHigh = 0x10;
constexpr unsigned kLcdBaseLow = 0x11;
constexpr unsigned kTimerControl = 0x15;  // bit 0 ticks run, bit 3 the programmable timer counts
constexpr unsigned kTimerCount = 0x17;    // the programmable timer's 8-bit count
constexpr unsigned kKeyRowMaskHigh = 0x18;  // bits 0-1 select rows 8 and 9 (0 = selected)
constexpr unsigned kKeyRowMask = 0x19;      // bits 0-7 select rows 0-7 (0 = selected)
constexpr unsigned kOnKey = 0x1A;           // 0x14 while ON is down, 0x16 while up
constexpr unsigned kKeyColumns = 0x1B;      // columns of the selected rows, 0 = key down
}  // namespace port

// The interrupt level of each of the machine's sources.
namespace level {
constexpr unsigned kPeriodic = 1;  // every 4th timer tick; ten times after a key release
constexpr unsigned kKeyboard = 2;  // a key goes down; odd ticks while one is held
constexpr unsigned kLink = 4;      // the link port, as its control port 0x0C asks
constexpr unsigned kTimer = 5;     // the programmable timer overflows
constexpr unsigned kOnKey = 6;     // ON goes down
constexpr unsigned kProtect = 7;   // a write into protected low RAM
}  // namespace level

// Bits of wakeMask: which tick sources end the processor's sleep.
namespace wake {
constexpr std::uint32_t kPeriodic = 0x01;  // level 1
constexpr std::uint32_t kKeyboard = 0x02;  // level 2
constexpr std::uint32_t kLink = 0x08;      // level 4
constexpr std::uint32_t kTimer = 0x10;     // level 5
constexpr std::uint32_t kAll = 0x3F;       // what every run slice starts from
}  // namespace wake

// The whole machine as plain state: it can be copied, saved and restored,
// and any program drives it through the operations below. It holds nothing
// of the program that shows it; real time comes in through the clock each
// paced operation is given.
class Calculator {
 public:
  // Starts the machine on a flash image of up to 2 MB (a shorter one leaves
  // the rest of the flash zero, bytes past 2 MB are not used). Throws
  // std::bad_alloc when memory cannot be had.
  explicit Calculator(std::span<const std::uint8_t> romImage);

  // Takes the clock's frequency and present reading as the point from which
  // time is charged: once before the first slice, and again whenever the
  // machine is handed to another clock.
  void StartPacing(HostClock& clock);

  // Run slices, paced to the clock. Each answers why it stopped: None (the
  // processor runs on), Asleep (it stopped itself and nothing woke it), or a
  // debug stop (a breakpoint, a watchpoint, a caught exception).
  StopReason RunSlice(HostClock& clock);
  StopReason RunBurst();
  StopReason IdleCatchUp(HostClock& clock);
  // One tick of 1/1024 s; answers whether it woke the processor.
  bool TimerTick();

  // The keyboard. Each answers whether the emulation should run again before
  // the host handles its next event. Codes that name no key (not 0..79, not
  // the ON key) are ignored and answer false.
  bool KeyDown(unsigned code);
  bool KeyUp(unsigned code);
  bool ReleaseAllKeys();

  // The LCD: a copy of the current frame, and the check that publishes it.
  void GetLcdFrame(std::uint8_t* destination) const;
  std::array<std::uint8_t, kLcdFrameBytes> LcdFrame() const;
  void RefreshDisplay();
  // What a host shows: the frame in RAM, with the grey levels published by
  // the last check when they hold grey.
  LcdPicture Picture() const;

  CpuState cpu{};
  std::vector<std::uint8_t> ram;  // byte n is RAM offset n
  std::vector<std::uint8_t> rom;  // the flash image, in the same order
  FlashState flashState = FlashState::ReadArray;
  // The stretch the processor fetches from without the bus; not saved.
  // Code that sets flashState, ram or rom itself (not through the bus)
  // clears it before the processor runs again.
  FetchWindow fetch;
  std::array<std::uint8_t, kPortCount> ports{};
  LinkPort link;   // the link port's chip: saved with the machine
  LinkWire wire;   // the cable's end: not saved, a loaded machine has no cable
  // The debugger's: tested by the run loop, not part of saved states.
  BreakpointSet breakpoints;
  DebugWatch watch;
  std::array<std::uint8_t, kKeyRows> keyMatrix{};  // a 0 bit is a key held down
  std::uint32_t anyKeyDown = 0;

  // Pacing: the clock's kind and the reading up to which time has been charged.
  bool hasCounter = false;
  std::int64_t counterFrequency = 0;
  std::uint64_t lastCount = 0;
  std::uint32_t lastCountFraction = 0;  // and 1/1024 counts beyond it

  std::uint32_t timerReload = 0xB2;  // reload of the programmable timer: -78
  std::uint32_t tickCount = 0;
  std::uint32_t lcdBase = 0x4C00;  // RAM offset of the LCD frame
  std::uint32_t wakeMask = 0x3F;   // bit 0 level 1, bit 1 level 2, bit 3 level 4, bit 4 level 5
  std::array<std::uint8_t, kLcdFrameBytes> lastFrame{};  // the frame last published
  // Moves on each time RefreshDisplay publishes a changed frame: a host
  // repaints when it differs from the value it last drew.
  std::uint64_t frameSerial = 0;
  LcdBlend lcdBlend;  // the frames the LCD showed lately, for grey

 private:
  // Moves the charged point on by whole ticks up to the reading `now`, fewer
  // when the pending fraction says the last one has not quite passed.
  void ChargeWholeTicks(std::int64_t& ticks, std::int64_t now);
};

}  // namespace pellux
