// A debugger's byte stream played into the GDB stub: the body of the
// libFuzzer target pellux-fuzz-gdb, also run by the suite on seeded inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pellux::fuzz {

// Feeds the input to a stub over a calculator whose program is NOPs, and
// after each chunk lets the machine do what the stub asked for a few passes.
// Returns what went wrong with the stub's output ("" when every reply was a
// well-formed frame or acknowledgement); memory faults are the sanitizers'.
//
// Input layout, chunk after chunk:
//   byte      bit 7 set: the chunk is one packet, framed with its checksum
//             here; clear: raw bytes (noise, broken frames, acks, Ctrl-C).
//             Bits 6-0: the chunk's length n.
//   n bytes   the chunk (cut short at the end of the input)
std::string RunStubOnBytes(const std::uint8_t* data, std::size_t size);

}  // namespace pellux::fuzz
