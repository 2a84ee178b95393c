// Reading the calculator's files from arbitrary bytes: the body of the
// libFuzzer target pellux-fuzz-files, also run by the test suite on seeds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pellux::fuzz {

// Reads the input as a variable file, a flash file and an OS for a flash
// image. A refusal must say why and return nothing; variables read must be
// fit to write, and written again must read back the same, the second
// writing equal to the first; flash parts written again must read back the
// same. Returns what went wrong ("" when every check held); a memory fault
// is left to the sanitizers.
//
// Input layout:
//   byte 0    bit 0: make the variable file's size and checksums fit its
//             bytes first, so that mutations reach the entries
//   the rest  the file
std::string ReadFilesFromBytes(const std::uint8_t* data, std::size_t size);

}  // namespace pellux::fuzz
