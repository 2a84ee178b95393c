// The link tests' files: the variable and flash files in tests/data/link
// (made by ld-tigcc and libtifiles, see the README there) and PedroM beside
// the repository, when it is there.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "link/variable_file.h"

namespace pellux::test {

std::filesystem::path LinkDataDir();

// The bytes of a file in tests/data/link; empty when it cannot be read.
std::vector<std::uint8_t> LinkDataFile(const std::string& name);

// Every variable file there (.9x? but .9xu and .9xk), by name.
std::vector<std::string> LinkVariableFileNames();

// ../shared/pedrom from the project's root, when it holds PedroM's image and
// bare OS.
std::optional<std::filesystem::path> PedromDir();

std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& path);

// Field by field, each variable named in the failure.
void ExpectSameVariables(const std::vector<Variable>& a, const std::vector<Variable>& b);

}  // namespace pellux::test
