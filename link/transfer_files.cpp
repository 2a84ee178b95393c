#include "link/transfer_files.h"

#include <system_error>

#include "io/files.h"
#include "link/var_header.h"

namespace pellux {

namespace {

// Far more than the calculator's memory and archive hold.
constexpr std::size_t kMaxVariableFileBytes = 4 * 1024 * 1024;
constexpr int kMaxNumberedNames = 999;

std::string FileStem(const std::string& name) {
  std::string stem;
  for (const char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    stem += plain ? c : '_';
  }
  return stem.empty() ? "variable" : stem;
}

// Anything at all of that name, a dangling link included, takes the name.
bool NameTaken(const std::filesystem::path& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::symlink_status(path, error);
  return !error ? status.type() != std::filesystem::file_type::not_found
                : error != std::errc::no_such_file_or_directory;
}

}  // namespace

VariablesFromFiles ReadVariablesFromFiles(std::span<const std::filesystem::path> paths) {
  std::vector<Variable> variables;
  for (const std::filesystem::path& path : paths) {
    const InputFile file = ReadInputFile(path, kMaxVariableFileBytes, OverLimit::Refuse);
    if (FailedWith(file, FileError::TooLarge)) {
      return Fail(DescribeFileError(path, "larger than " + std::to_string(kMaxVariableFileBytes) +
                                              " bytes, too large for a variable file"));
    }
    if (!file.ok()) return Fail(DescribeFileError(path, file.message()));
    VariableFileRead read = ReadVariableFile(file->bytes);
    if (!read.ok()) return Fail(DescribeFileError(path, read.message()));
    for (Variable& variable : read->variables) variables.push_back(std::move(variable));
  }
  return variables;
}

SavedVariable SaveReceivedVariable(const std::filesystem::path& folder, const Variable& variable) {
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) {
    return Fail(DescribeFileError(folder, error ? error.message() : "not a folder"));
  }
  if (const Status trouble = VariableTrouble(variable); !trouble.ok()) {
    return Fail(QualifiedName(variable) + " cannot be written as a file: " + trouble.message() + ".");
  }
  const std::vector<std::uint8_t> bytes = WriteVariableFile(variable);
  const std::string stem = FileStem(variable.name);
  const std::string extension = VariableFileExtension(variable.type);
  for (int n = 1; n <= kMaxNumberedNames; ++n) {
    const std::filesystem::path path = folder / (n == 1 ? stem + extension : stem + "-" + std::to_string(n) + extension);
    if (NameTaken(path)) continue;
    if (const Status written = WriteFileAtomically(path, bytes); !written.ok()) {
      return Fail(DescribeFileError(path, written.message()));
    }
    return path;
  }
  return Fail(DescribeFileError(
      folder / (stem + extension),
      "this name and " + std::to_string(kMaxNumberedNames - 1) + " numbered ones are taken"));
}

}  // namespace pellux
