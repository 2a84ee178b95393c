#include "host/file_drop.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

#include "io/files.h"
#include "link/flash_file.h"
#include "link/os_image.h"
#include "link/variable_file.h"
#include "machine/calculator.h"
#include "machine/errors.h"
#include "machine/save_state.h"

namespace pellux {

namespace {

constexpr std::string_view kStateMagic = "PELLUXST";
constexpr std::string_view kVariableSignature = "**TI92P*";
// Every file of the TI link software begins "**TI": a variable file of
// another calculator, say, whose reader tells which.
constexpr std::string_view kLinkSoftwarePrefix = "**TI";
// Names a flash image goes by when its bytes do not show it (no vector
// table marker where the calculator's own software has one).
constexpr std::array<std::string_view, 3> kRomExtensions = {".rom", ".bin", ".img"};

bool BeginsWith(std::span<const std::uint8_t> bytes, std::string_view text) {
  return bytes.size() >= text.size() && std::equal(text.begin(), text.end(), bytes.begin());
}

bool HasRomExtension(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return std::find(kRomExtensions.begin(), kRomExtensions.end(), extension) != kRomExtensions.end();
}

ClassifiedFile Refused(const std::filesystem::path& path, const std::string& why) {
  return {path, FileRole::Refused, DescribeFileError(path, why)};
}

StartFailure NotAnImage(const std::filesystem::path& path, const std::string& why) {
  return Fail(StartError::RomReadFailed, DescribeFileError(path, why));
}

}  // namespace

ClassifiedFile ClassifyFile(const std::filesystem::path& path) {
  // A state is the largest file here; past that only the beginning counts.
  const InputFile file = ReadInputFile(path, kMostStateFileBytes, OverLimit::Cut);
  if (!file.ok()) return Refused(path, file.message());
  const std::span<const std::uint8_t> bytes = file->bytes;
  if (bytes.empty()) return Refused(path, "the file is empty");
  if (BeginsWith(bytes, kStateMagic)) return {path, FileRole::State, {}};
  if (BeginsWith(bytes, kVariableSignature)) {
    const VariableFileRead read = ReadVariableFile(bytes);
    if (!read.ok()) return Refused(path, read.message());
    return {path, FileRole::Variables, {}};
  }
  if (IsOsFile(bytes)) {
    const FlashImage image = FlashImageFromOsFile(bytes);
    if (!image.ok()) return Refused(path, image.message());
    return {path, FileRole::OsFile, {}};
  }
  if (BeginsWith(bytes, kLinkSoftwarePrefix)) return Refused(path, ReadVariableFile(bytes).message());
  const std::vector<std::uint8_t> start(bytes.begin(),
                                        bytes.begin() + std::min<std::size_t>(bytes.size(), kRomSize));
  if (RomImageWarnings(start).empty() || HasRomExtension(path)) return {path, FileRole::RomImage, {}};
  return Refused(path, ReadVariableFile(bytes).message() + "; nor is it a ROM image, an OS or a saved state");
}

DropPlan PlanDrop(std::span<const std::filesystem::path> paths) {
  DropPlan plan;
  std::vector<std::string> toOpen;
  for (const std::filesystem::path& path : paths) {
    ClassifiedFile file = ClassifyFile(path);
    switch (file.role) {
      case FileRole::Refused:
        plan.refusals.push_back(file.problem);
        break;
      case FileRole::Variables:
        plan.variableFiles.push_back(path);
        break;
      case FileRole::RomImage:
      case FileRole::OsFile:
      case FileRole::State:
        toOpen.push_back(path.filename().string());
        plan.machine = std::move(file);
        break;
    }
  }
  if (toOpen.size() > 1) {
    std::string names;
    for (const std::string& name : toOpen) names += (names.empty() ? "" : ", ") + name;
    plan.refusals.push_back("One ROM image, OS or saved state at a time can be opened, not " +
                            std::to_string(toOpen.size()) + " (" + names + ")");
  }
  if (!plan.ok()) {
    plan.machine.reset();
    plan.variableFiles.clear();
  }
  return plan;
}

RomRead ReadMachineImage(const std::filesystem::path& path) {
  RomRead rom = ReadRomFile(path);
  if (!rom.ok()) return rom;
  const std::span<const std::uint8_t> bytes = rom->bytes;
  if (BeginsWith(bytes, kVariableSignature)) {
    return NotAnImage(
        path, "this is a TI-92 Plus variable file, not a ROM image: File > Send to Calculator... sends it");
  }
  if (BeginsWith(bytes, kStateMagic)) {
    return NotAnImage(path, "this is a saved state, not a ROM image: File > Load State... loads it");
  }
  return ImageFromRomOrOsFile(path, std::move(rom).value());
}

}  // namespace pellux
