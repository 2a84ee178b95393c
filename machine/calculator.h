// The emulated TI-92 Plus: one record that every part of the machine reads
// and writes directly, with the processor's registers at its head.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "cpu/cpu_state.h"
#include "cpu/breakpoint_set.h"
#include "machine/host.h"
#include "machine/watchpoints.h"

namespace pellux {

constexpr std::uint32_t kRamSize = 0x40000;    // 256 KB
constexpr std::uint32_t kRomSize = 0x200000;   // 2 MB of flash, 32 blocks of 64 KB
constexpr std::uint32_t kPortCount = 32;
constexpr std::uint32_t kKeyRows = 10;
constexpr std::uint32_t kLcdWidth = 240;
constexpr std::uint32_t kLcdHeight = 128;
constexpr std::uint32_t kLcdFrameBytes = kLcdWidth / 8 * kLcdHeight;  // 3840

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
constexpr unsigned kContrast = 0x0D;    // always reads 0x40
constexpr unsigned kLcdBaseHigh = 0x10;
constexpr unsigned kLcdBaseLow = 0x11;
constexpr unsigned kTimerControl = 0x15;  // bit 0 ticks run, bit 3 the programmable timer counts
constexpr unsigned kTimerCount = 0x17;    // the programmable timer's 8-bit count
constexpr unsigned kKeyRowMaskHigh = 0x18;  // bits 0-1 select rows 8 and 9 (0 = selected)
constexpr unsigned kKeyRowMask = 0x19;      // bits 0-7 select rows 0-7 (0 = selected)
constexpr unsigned kOnKey = 0x1A;           // 0x14 while ON is down, 0x16 while up
constexpr unsigned kKeyColumns = 0x1B;      // columns of the selected rows, 0 = key down
}  // namespace port

// Calculator key codes: 0..79 name a matrix key (row = code / 8, column = code % 8).
constexpr unsigned kOnKeyCode = 128;

// The interrupt level of each of the machine's sources.
namespace level {
constexpr unsigned kPeriodic = 1;  // every 4th timer tick; ten times after a key release
constexpr unsigned kKeyboard = 2;  // a key goes down; odd ticks while one is held
constexpr unsigned kTimer = 5;     // the programmable timer overflows
constexpr unsigned kOnKey = 6;     // ON goes down
constexpr unsigned kProtect = 7;   // a write into protected low RAM
}  // namespace level

// Bits of wakeMask: which tick sources end the processor's sleep.
namespace wake {
constexpr std::uint32_t kPeriodic = 0x01;  // level 1
constexpr std::uint32_t kKeyboard = 0x02;  // level 2
constexpr std::uint32_t kTimer = 0x10;     // level 5
constexpr std::uint32_t kAll = 0x3F;       // what every run slice starts from
}  // namespace wake

class Calculator {
 public:
  // Loads the ROM image at romPath and starts the machine. Throws InitErr:
  // 82 when the file cannot be opened, 83 when it cannot be read, 84 when
  // memory cannot be had, 85 when the display bitmap cannot be made.
  Calculator(const std::filesystem::path& romPath, Host& host, HostClock& clock);
  ~Calculator();
  Calculator(const Calculator&) = delete;
  Calculator& operator=(const Calculator&) = delete;

  // Run slices, paced to real time.
  // RunSlice, RunBurst and IdleCatchUp answer 0 (running), 1 (asleep) or 2
  // (a breakpoint was reached). TimerTick answers whether it woke the processor.
  int RunSlice();
  int RunBurst();
  int IdleCatchUp();
  int TimerTick();

  // The keyboard. Each answers whether the emulation should run again before
  // the host handles its next message. Codes that name no key (not 0..79,
  // not the ON key) are ignored and answer 0.
  std::uint32_t KeyDown(unsigned code);
  std::uint32_t KeyUp(unsigned code);
  std::uint32_t ReleaseAllKeys();

  // The LCD: a copy of the current frame, and the repaint check.
  void GetLcdFrame(std::uint8_t* destination) const;
  void RefreshDisplay();

  CpuState cpu{};
  std::unique_ptr<std::uint8_t[]> ram;  // byte n is RAM offset n
  std::unique_ptr<std::uint8_t[]> rom;  // the flash image, in the same order
  FlashState flashState = FlashState::ReadArray;
  std::array<std::uint8_t, kPortCount> ports{};
  BreakpointSet breakpoints;
  DebugWatch watch;
  std::array<std::uint8_t, kKeyRows> keyMatrix{};  // a 0 bit is a key held down
  std::uint32_t anyKeyDown = 0;
  std::unique_ptr<HostResource> displayBitmap;
  std::unique_ptr<HostResource> listingFont;
  Host* window;
  int zoom = 1;

  // Pacing: the host clock and the reading up to which time has been charged.
  HostClock* clock;
  bool hasPerfCounter = false;
  std::int64_t perfFrequency = 0;
  std::uint64_t lastCount = 0;

  std::uint32_t timerReload = 0xB2;  // reload of the programmable timer: -78
  std::uint32_t tickCount = 0;
  std::uint32_t lcdBase = 0x4C00;  // RAM offset of the LCD frame
  std::uint32_t wakeMask = 0x3F;   // bit 0 level 1, bit 1 level 2, bit 4 level 5
  std::array<std::uint8_t, kLcdFrameBytes> lastFrame{};  // the frame last shown
};

}  // namespace pellux
