// Commands are whole words: 0x5050 opens a command, 0x2020 + 0xD0D0 erases
// the 64 KB block that holds the address, 0x1010 + any word programs it,
// and 0xFFFF leaves the status mode. Programming can only clear bits; only
// an erase sets them. As on the chip, status mode is a read mode that takes
// the next erase or program command at once: the calculator's software
// programs word after word, polling the status between them, without
// leaving it.
#include "machine/flash.h"

#include <cstring>

#include "machine/calculator.h"

namespace pellux {

namespace {
constexpr std::uint32_t kOpenCommand = 0x5050;
constexpr std::uint32_t kEraseSetup = 0x2020;
constexpr std::uint32_t kEraseConfirm = 0xD0D0;
constexpr std::uint32_t kProgramSetup = 0x1010;
constexpr std::uint32_t kLeaveStatus = 0xFFFF;
constexpr std::uint32_t kBlockMask = 0x1F0000;
constexpr std::uint32_t kBlockSize = 0x10000;
}  // namespace

void FlashWrite(Calculator& m, std::uint32_t offset, std::uint32_t value) {
  offset &= kRomSize - 1;
  value &= 0xFFFF;
  // The flash may be leaving its read mode: the next fetch checks it again.
  m.fetch.Clear();
  switch (m.flashState) {
    case FlashState::ReadArray:
      if (value == kOpenCommand) m.flashState = FlashState::CommandReady;
      break;
    case FlashState::StatusRead:
      if (value == kLeaveStatus) {
        m.flashState = FlashState::CommandReady;
        break;
      }
      [[fallthrough]];
    case FlashState::CommandReady:
      if (value == kEraseSetup) {
        m.flashState = FlashState::EraseSetup;
      } else if (value == kProgramSetup) {
        m.flashState = FlashState::ProgramSetup;
      }
      break;
    case FlashState::EraseSetup:
      if (value == kEraseConfirm) {
        std::memset(&m.rom[offset & kBlockMask], 0xFF, kBlockSize);
        m.flashState = FlashState::StatusRead;
      }
      break;
    case FlashState::ProgramSetup: {
      // A word at the last byte of the image would reach past it; the bus
      // only ever passes even offsets, but keep the write inside the image.
      const std::uint32_t even = offset & ~1u;
      m.rom[even] &= static_cast<std::uint8_t>(value >> 8);
      m.rom[even + 1] &= static_cast<std::uint8_t>(value);
      m.flashState = FlashState::StatusRead;
      break;
    }
  }
}

}  // namespace pellux
