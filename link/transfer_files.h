// The user's files for the link: the variables to send, read from variable
// files, and a variable the calculator sent, saved as its own file.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"
#include "link/variable_file.h"

namespace pellux {

// All or nothing: the variables of every file, each file's in its order (a
// group gives all of its own); or, when a file cannot be read or is not a
// TI-92 Plus variable file, the first that would not do, and why.
using VariablesFromFiles = Result<std::vector<Variable>>;
VariablesFromFiles ReadVariablesFromFiles(std::span<const std::filesystem::path> paths);

// Writes the variable as a file of its own in the folder, named after it
// with its type's extension ("hello.9xz"). A file of that name is never
// replaced: the new one becomes "hello-2.9xz", "hello-3.9xz", ... Characters
// of the calculator's name that do not belong in a file name become '_'.
// Answers the file written, or why none was.
using SavedVariable = Result<std::filesystem::path>;
SavedVariable SaveReceivedVariable(const std::filesystem::path& folder, const Variable& variable);

}  // namespace pellux
