// Small 68000 programs that talk over the link port, for the tests of the
// cables between two machines (in-process and on a socket), and a look at
// what a socket's far end was sent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "machine/calculator.h"
#include "tests/test_support.h"

namespace pellux::test {

constexpr std::uint32_t kLinkMain = RomBuilder::kDefaultPc;
constexpr std::uint32_t kLinkMessage = 0x450000;  // in flash, never run
constexpr std::uint32_t kLinkInbox = 0x5000;      // in RAM

// NopRom with an RTE at every level's handler: the timers' interrupts come
// and go. The link's programs write their own level-4 handler over it.
RomBuilder LinkBaseRom();

// length bytes, i * step + 1.
std::vector<std::uint8_t> LinkMessage(std::size_t length, unsigned step);

// Sends its message and stores what it receives at kLinkInbox, all from
// the level-4 handler; the main program sleeps between interrupts. A3 walks
// the message, A5 the inbox.
RomBuilder InterruptDrivenRom(const std::vector<std::uint8_t>& message);

// Sends 0, 1, 2, ... for ever from the level-4 handler, a byte each time
// the transmit buffer is empty: D6 counts the bytes written, D7 the link
// errors (a byte nobody took in time).
RomBuilder EndlessSenderRom();

// The first length bytes of the inbox.
std::vector<std::uint8_t> Inbox(const Calculator& m, std::size_t length);

// All the bytes waiting on the socket, read without blocking.
std::string ReadWaiting(int fd);

}  // namespace pellux::test
