// Loading saved states from arbitrary bytes: the body of the libFuzzer
// target pellux-fuzz-state, also run by the test suite on seeded inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pellux::fuzz {

// Loads the input as a saved state. A refused state must say why; an
// accepted one must save and load again to the same machine and then run.
// Returns what went wrong ("" when every check held); a memory fault is
// left to the sanitizers.
//
// Input layout:
//   byte 0    bit 0: make the state's length and checksum fit its bytes
//             first, so that mutations reach the sections; bit 1: expect
//             the ROM identity the state names (else one it never names)
//   the rest  the saved state
std::string LoadStateFromBytes(const std::uint8_t* data, std::size_t size);

}  // namespace pellux::fuzz
