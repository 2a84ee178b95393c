// Reading the user's ROM image: the one way every program takes it from a
// file. Any bytes are accepted as an image, as the machine starts on
// anything, but what looks wrong is said.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "machine/errors.h"

namespace pellux {

struct RomFile {
  std::vector<std::uint8_t> bytes;    // the first 2 MB at most
  std::vector<std::string> warnings;  // what looks wrong, one sentence each
};

using RomRead = Result<RomFile, StartFailure>;

// Fails with RomOpenFailed when the file cannot be opened (missing, a
// directory, FIFO or socket, no permission) and RomReadFailed when it cannot
// be read; the error's message names the path and the system's reason.
RomRead ReadRomFile(const std::filesystem::path& path);

// The warnings about an image: empty, no vector table marker, all zero.
std::vector<std::string> RomImageWarnings(const std::vector<std::uint8_t>& bytes);

// Where the processor's vector table starts in a flash image: after the first
// 0xCC 0xCC 0xCC 0xCC marker at a multiple of 4 from 0x12000 up to (not
// including) 0x100000; without one, at the start of the image.
std::uint32_t FindVectorTable(const std::uint8_t* flash, std::size_t size);

}  // namespace pellux
