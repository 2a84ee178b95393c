// A hostile program at the other end of a link socket: the body of the
// libFuzzer target pellux-fuzz-socket-link, also run by the suite on seeded
// inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pellux::fuzz {

// Plays the input into a SocketLink on one end of a local socket pair,
// whose machine sends a message and stores what it receives, and lets the
// machine run a few passes after each chunk; at the end the other end goes
// away. Returns what went wrong ("" when nothing did): bytes from the link
// that are no hello and frames, a connection that came back after it was
// closed, a cable left plugged with nobody at the other end, a closed
// connection nobody was told of. Memory faults are the sanitizers'.
//
// Input layout:
//   byte      options: bit 0 the peer begins with a good hello; bit 1 it
//             reads what the link sends (else never, and the link's
//             output backs up); bits 2-3 the passes after each chunk, 1-4
//   chunks    a byte, bit 7 set: the chunk is the calculator's bytes in a
//             well-formed frame; clear: raw bytes, anything at all. Bits
//             6-0: the chunk's length n; then n bytes (cut short at the end)
std::string RunSocketLinkOnBytes(const std::uint8_t* data, std::size_t size);

}  // namespace pellux::fuzz
