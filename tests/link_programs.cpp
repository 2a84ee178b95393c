#include "tests/link_programs.h"

#include <sys/socket.h>

namespace pellux::test {

using namespace asm68k;

RomBuilder LinkBaseRom() {
  RomBuilder rom = NopRom();
  for (unsigned level = 1; level <= 7; ++level) rom.Code(LevelHandler(level), {kRte});
  return rom;
}

std::vector<std::uint8_t> LinkMessage(std::size_t length, unsigned step) {
  std::vector<std::uint8_t> bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(i * step + 1);
  return bytes;
}

RomBuilder InterruptDrivenRom(const std::vector<std::uint8_t>& message) {
  const std::uint32_t end = kLinkMessage + static_cast<std::uint32_t>(message.size());
  RomBuilder rom = LinkBaseRom();
  // clang-format off
  rom.Code(kLinkMain, {0x47F9, kLinkMessage >> 16, kLinkMessage & 0xFFFF,  // lea message,a3
                       0x49F9, static_cast<std::uint16_t>(end >> 16), static_cast<std::uint16_t>(end),  // lea end,a4
                       0x4BF9, 0x0000, kLinkInbox,                 // lea inbox,a5
                       kMoveByteToAbs, 0x0003, 0x0060, 0x000C,     // interrupts: receive full, transmit empty
                       0x4E72, 0x2000,                             // sleep: stop #$2000
                       0x60FA});                                   // bra.s sleep
  rom.Code(LevelHandler(4), {0x0839, 0x0005, 0x0060, 0x000D,   // btst #5,status: received?
                             0x6706,                           // beq.s send
                             0x1AF9, 0x0060, 0x000F,           // move.b data,(a5)+
                             0x0839, 0x0006, 0x0060, 0x000D,   // send: btst #6,status: buffer empty?
                             0x670A,                           // beq.s done
                             0xB7CC,                           // cmpa.l a4,a3: all sent?
                             0x6706,                           // beq.s done
                             0x13DB, 0x0060, 0x000F,           // move.b (a3)+,data
                             kRte});                           // done
  // clang-format on
  for (std::size_t i = 0; i < message.size(); ++i) {
    rom.Byte(kLinkMessage - RomBuilder::kFlashBase + static_cast<std::uint32_t>(i), message[i]);
  }
  return rom;
}

RomBuilder EndlessSenderRom() {
  RomBuilder rom = LinkBaseRom();
  // clang-format off
  rom.Code(kLinkMain, {kMoveByteToAbs, 0x000A, 0x0060, 0x000C,  // interrupts: transmit empty, error
                       0x4E72, 0x2000,                          // sleep: stop #$2000
                       0x60FA});                                // bra.s sleep
  rom.Code(LevelHandler(4), {0x1039, 0x0060, 0x000D,  // move.b status,d0 (clears the error)
                             0x6A02,                  // bpl.s sent: no error
                             AddqOne(7),              // addq.l #1,d7
                             0x0800, 0x0006,          // sent: btst #6,d0: buffer empty?
                             0x6708,                  // beq.s done
                             0x13C6, 0x0060, 0x000F,  // move.b d6,data
                             AddqOne(6),              // addq.l #1,d6
                             kRte});                  // done
  // clang-format on
  return rom;
}

std::vector<std::uint8_t> Inbox(const Calculator& m, std::size_t length) {
  return {m.ram.begin() + kLinkInbox, m.ram.begin() + kLinkInbox + static_cast<std::ptrdiff_t>(length)};
}

std::string ReadWaiting(int fd) {
  std::string all;
  char buffer[4096];
  for (;;) {
    const ssize_t got = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got <= 0) return all;
    all.append(buffer, static_cast<std::size_t>(got));
  }
}

}  // namespace pellux::test
