#include "machine/rom_file.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "io/files.h"
#include "machine/calculator.h"
#include "machine/errors.h"

namespace pellux {

namespace {

constexpr std::uint32_t kMarkerSearchStart = 0x12000;
constexpr std::uint32_t kMarkerSearchEnd = 0x100000;

// What the user can do about a ROM that cannot be had.
constexpr const char* kRomAdvice =
    "Name a TI-92 Plus flash image on the command line, or put one named ti92p.rom in the working folder.";

std::string Megabytes(std::uintmax_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1 << 20));
  return text;
}

}  // namespace

std::uint32_t FindVectorTable(const std::uint8_t* flash, std::size_t size) {
  const std::size_t end = std::min<std::size_t>(kMarkerSearchEnd, size >= 4 ? size - 3 : 0);
  for (std::uint32_t offset = kMarkerSearchStart; offset < end; offset += 4) {
    if (flash[offset] == 0xCC && flash[offset + 1] == 0xCC && flash[offset + 2] == 0xCC &&
        flash[offset + 3] == 0xCC) {
      return offset + 4;
    }
  }
  return 0;
}

std::vector<std::string> RomImageWarnings(const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty()) return {"the image is empty: the machine starts with nothing to run"};
  std::vector<std::string> warnings;
  if (std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; })) {
    warnings.emplace_back("the image holds only zero bytes: the machine has nothing to run");
  } else if (FindVectorTable(bytes.data(), bytes.size()) == 0) {
    warnings.emplace_back("no vector table marker found: the image is probably not a calculator ROM");
  }
  return warnings;
}

RomRead ReadRomFile(const std::filesystem::path& path) {
  InputFile file = ReadInputFile(path, kRomSize, OverLimit::Cut);
  if (!file.ok()) {
    const StartError id =
        FailedWith(file, FileError::ReadFailed) ? StartError::RomReadFailed : StartError::RomOpenFailed;
    return Fail(id, DescribeFileError(path, file.message()) + "\n" + kRomAdvice);
  }
  RomFile rom;
  rom.bytes = std::move(file->bytes);
  rom.warnings = RomImageWarnings(rom.bytes);
  if (file->truncated) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    rom.warnings.push_back(error ? "only the first 2 MB of the file are used"
                                 : "only the first 2 MB of a " + Megabytes(size) + " file are used");
  }
  return rom;
}

}  // namespace pellux
