// The calculator run on arbitrary bytes: the body of the libFuzzer target,
// also run by the test suite on seeded random inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pellux::fuzz {

// The most instructions one input may run.
constexpr std::uint32_t kInstructionBudget = 20'000;

// Builds a calculator whose RAM and flash hold the input's image, plays the
// input's event script on it, then runs out the budget. Returns what went
// wrong with the processor's state ("" when every check held); a memory
// fault is left to the sanitizers.
//
// Input layout:
//   byte 0    bits 0-1 where the run starts: 0 the reset vector read from
//             the image, 1 the start of flash, 2 RAM 0x400, 3 RAM 0;
//             bit 2 start in user state
//   byte 1    n, the length of the event script
//   n bytes   the script, one event a byte: bits 7-5 the kind, 4-0 an argument
//               0, 1 run (argument + 1) x 64 instructions
//               2    the clock moves on (argument + 1) ticks, then RunSlice
//               3    the clock moves on (argument + 1) ticks, then IdleCatchUp
//               4    RequestInterrupt(argument & 7)
//               5    toggle a breakpoint at the PC + 2 x argument
//               6    KeyDown of a key code from the argument (ON included)
//               7    KeyUp of that key code; argument 31: ReleaseAllKeys
//   the rest  the image, copied to RAM and to flash, both from offset 0
std::string RunCalculatorOnBytes(const std::uint8_t* data, std::size_t size);

}  // namespace pellux::fuzz
