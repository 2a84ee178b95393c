// The flash image a file on the command line or in a menu gives the machine:
// a ROM image as it stands, or the image built from an operating system
// file (a .9xu flash file, or a bare .tib OS) that the calculator's boot
// code would have installed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

#include "machine/rom_file.h"

namespace pellux {

// A flash file ("**TIFL**") or a bare OS (beginning with its 0x80 0x0F field).
bool IsOsFile(std::span<const std::uint8_t> bytes);

// `rom`, read from `path` by ReadRomFile, as the machine's image: unchanged
// unless it is an OS file, which becomes the image made of it. Fails with
// RomReadFailed naming the path and what is wrong when the OS cannot boot
// on this calculator (another calculator's, a flash application, damaged).
RomRead ImageFromRomOrOsFile(const std::filesystem::path& path, RomFile rom);

}  // namespace pellux
