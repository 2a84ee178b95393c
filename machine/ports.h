// The support chip's 32 byte-wide ports at 0x600000-0x60001F.
#pragma once

#include <array>
#include <cstdint>

namespace pellux {

class Calculator;

// The port bytes after start-up; ports nothing writes read back 0x14, 0x01.
extern const std::array<std::uint8_t, 32> kPortStartValues;

// The byte of port (address AND 0x1F), for any address from 0x600000 up.
std::uint8_t PortRead(Calculator& m, std::uint32_t address);
// The same byte as a debugger sees it, without side effects.
std::uint8_t PortPeek(const Calculator& m, std::uint32_t address);

// Acts on port (address AND 0x1F); addresses with bit 20 or 23 set
// (0x700000 and up) are ignored.
void PortWrite(Calculator& m, std::uint32_t address, std::uint8_t value);

// Whether a debugger's write at the address (0x600000 and up) goes to
// PortWrite: only below 0x700000, and only for the ports whose writes store
// what the processor's would (a masked byte, the LCD base, the timer's
// count, the keyboard rows). The low-power port (it stops the processor),
// the link port (bytes in flight) and the ports that ignore writes are not.
bool PortTakesPokes(std::uint32_t address);

// Port 0x1B from the keyboard matrix and the row selects in ports 0x18/0x19.
void UpdateKeyboardPort(Calculator& m);

// Whether the byte of port n (0..31) can hold `value`: its start value, or
// what a write, the timer or the keyboard can leave there. A saved state
// with any other byte is not of this machine.
bool PortCanHold(unsigned n, std::uint8_t value);

}  // namespace pellux
