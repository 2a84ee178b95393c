// Files the user gives the window without saying what they are (dropped on
// it, or opened as a ROM): what each is, told by its bytes first and its
// name only where the bytes cannot tell, and what a drop of several does.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "machine/rom_file.h"

namespace pellux {

enum class FileRole {
  Variables,  // a TI-92 Plus variable file (single or group): sent to the calculator
  RomImage,   // a flash image: opened as Open ROM does
  OsFile,     // an OS (.9xu, .tib): booted as a flash image made of it
  State,      // a saved state: loaded as Load State does
  Refused,    // none of these, or one that cannot be read
};

struct ClassifiedFile {
  std::filesystem::path path;
  FileRole role = FileRole::Refused;
  std::string problem;  // Refused: "NAME: what is wrong", the reader's own words
};

ClassifiedFile ClassifyFile(const std::filesystem::path& path);

// What a drop of several files does: the variable files are sent in the
// order given, after the one ROM image, OS or state (if any) is opened.
// Anything refused, or more than one file to open, does nothing at all.
struct DropPlan {
  bool ok() const { return refusals.empty(); }
  std::optional<ClassifiedFile> machine;
  std::vector<std::filesystem::path> variableFiles;
  std::vector<std::string> refusals;  // one line each
};

DropPlan PlanDrop(std::span<const std::filesystem::path> paths);

// The flash image a file gives the machine: a ROM image as ReadRomFile reads
// it, or the image built from an OS file. Fails (as ReadRomFile) when the
// file cannot be read, is an OS that cannot boot here, or is a variable
// file or a saved state, which are no images at all.
RomRead ReadMachineImage(const std::filesystem::path& path);

}  // namespace pellux
