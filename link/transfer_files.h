// The user's files for the link: the variables to send, read from variable
// files, and a variable the calculator sent, saved as its own file.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "link/variable_file.h"

namespace pellux {

struct VariablesFromFiles {
  bool ok() const { return error.empty(); }
  std::vector<Variable> variables;  // each file's in its order; a group gives all of its own
  std::string error;                // the first file that would not do, and why
};

// All or nothing: a file that cannot be read or is not a TI-92 Plus
// variable file is named in the error and no variable is returned.
VariablesFromFiles ReadVariablesFromFiles(std::span<const std::filesystem::path> paths);

struct SavedVariable {
  bool ok() const { return error.empty(); }
  std::filesystem::path path;  // the file written
  std::string error;           // why none was
};

// Writes the variable as a file of its own in the folder, named after it
// with its type's extension ("hello.9xz"). A file of that name is never
// replaced: the new one becomes "hello-2.9xz", "hello-3.9xz", ... Characters
// of the calculator's name that do not belong in a file name become '_'.
SavedVariable SaveReceivedVariable(const std::filesystem::path& folder, const Variable& variable);

}  // namespace pellux
