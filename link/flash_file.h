// The calculator's flash files on the computer: "**TIFL**" files holding an
// operating system (.9xu) or a flash application (.9xk), and the 2 MB flash
// image that boots an OS.
//
// A flash file is one or more parts, each a 78-byte header and its data:
//   0   "**TIFL**"
//   8   revision major, minor; flags; object type; date (day, month, 2-byte year)
//   16  the name's length, then the name (8 bytes)
//   48  device type (0x88 the TI-92 Plus), data type (0x23 OS, 0x24 application)
//   74  the data's length (4 bytes, little-endian)
//   78  the data
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"

namespace pellux {

inline constexpr std::uint8_t kDeviceTi92Plus = 0x88;
inline constexpr std::uint8_t kFlashOs = 0x23;
inline constexpr std::uint8_t kFlashApplication = 0x24;

struct FlashPart {
  std::string name;             // "PedroM"; at most 8 characters
  std::uint8_t deviceType = 0;  // the calculator it is for: 0x88 TI-92 Plus, 0x98 TI-89
  std::uint8_t dataType = 0;    // 0x23 OS, 0x24 application, 0x25 certificate, 0x3E licence
  std::uint8_t revisionMajor = 0;
  std::uint8_t revisionMinor = 0;
  std::vector<std::uint8_t> data;
};

// A flash file's parts in the file's order, or what is wrong with the bytes,
// for the user.
using FlashFileRead = Result<std::vector<FlashPart>>;

// The parts of a flash file's bytes, or why the bytes are not a flash file.
// Reads only inside the span.
FlashFileRead ReadFlashFile(std::span<const std::uint8_t> bytes);

// A flash file of one part.
std::vector<std::uint8_t> WriteFlashFile(const FlashPart& part);

// Where the OS lies in the flash image: after the 64 KB boot sector and the
// 8 KB certificate, at 0x412000 in the calculator's memory.
inline constexpr std::uint32_t kOsImageOffset = 0x12000;

// A 2 MB flash image, or why none could be made.
using FlashImage = Result<std::vector<std::uint8_t>>;

// The flash of a calculator that holds only this OS: erased (0xFF), with the
// OS's data (the "bare OS", as a .tib file holds it) at kOsImageOffset.
FlashImage BuildFlashImage(std::span<const std::uint8_t> os);

// The flash image for an OS file: a "**TIFL**" file with an OS for the
// TI-92 Plus, or a bare OS (.tib, beginning with its 0x80 0x0F header). Says
// what else the file is when it is not that.
FlashImage FlashImageFromOsFile(std::span<const std::uint8_t> bytes);

}  // namespace pellux
