// Hostile calculators against the computer's side of the link: the body of
// the libFuzzer target pellux-fuzz-link, also run by the suite on seeded
// inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pellux::fuzz {

// Plays the input against a ComputerLink that starts with a send job and a
// screen dump queued, then lets an honest scripted calculator and the
// clock run until every job has ended. Returns what went wrong ("" when
// nothing did): a job that never ended or ended twice, output or events
// that grew without bound, progress past its total. Memory faults are the
// sanitizers'.
//
// Input layout, operation after operation:
//   0x00-0x3F  n+1 raw bytes follow, from the calculator
//   0x40-0x7F  a well-formed packet from the calculator: a byte picks its
//              command, n data bytes follow
//   0x80-0x9F  time passes: a byte follows, times (n+1) x 1000 link units
//   0xA0-0xAF  the scripted calculator takes up to (n+1) x 64 bytes and answers
//   0xB0       a job: a byte gives the count (1-3), a byte each the sizes
//   0xB1       a screen dump job
//   0xB2       cancel
//   0xB3       the calculator pulses the lines
//   0xB4       the calculator goes away (time runs back)
//   0xB5       the scripted calculator sends a variable; a byte gives its size
//   0xB6       a byte sets the scripted calculator's misbehaviour
//   0xB7       a whole screen's XDP from the calculator
//   0xB8       a whole variable's XDP from the calculator; a byte gives its size
//   others     the host takes the events
std::string RunLinkOnBytes(const std::uint8_t* data, std::size_t size);

}  // namespace pellux::fuzz
