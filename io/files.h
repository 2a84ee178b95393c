// The user's files, read and written one way by every program: input that
// never blocks on a FIFO nor reads without bound, output that never leaves a
// half-written file where a good one was, and the system's reason whenever
// either fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"

namespace pellux {

enum class FileError {
  OpenFailed,  // missing, not a file (directory, FIFO, socket), no permission
  ReadFailed,  // opened, but reading failed
  TooLarge,    // more than the limit, when the caller refuses that
};

// What a read asks for when the file holds more than the limit.
enum class OverLimit { Cut, Refuse };

struct InputBytes {
  std::vector<std::uint8_t> bytes;  // at most the limit
  bool truncated = false;           // the file held more than the limit (OverLimit::Cut)
};

// The bytes read, or why there are none: the kind and the system's words,
// such as "No such file or directory".
using InputFile = Result<InputBytes, KindedError<FileError>>;

// Reads a regular file or a character device (such as /dev/zero, up to the
// limit). Anything else is refused before it is opened, so a FIFO with no
// writer cannot block the program.
InputFile ReadInputFile(const std::filesystem::path& path, std::size_t limit, OverLimit overLimit = OverLimit::Cut);

// "PATH: reason", for messages.
std::string DescribeFileError(const std::filesystem::path& path, const std::string& reason);

// Writes the bytes to a temporary file in the destination's folder, flushes
// it to the disk and renames it over the destination: a crash or a full disk
// leaves either the old file or the new one. A symbolic link is followed (the
// file it names is replaced, with its permissions kept); an existing
// destination that is not a regular file (a FIFO, a device) is refused.
// Answers the reason when it fails (nothing is left behind then).
Status WriteFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// Whether a file could be written at path, checked before a long run: the
// folder exists and takes a new file, and path is not a directory or any
// other file that WriteFileAtomically refuses. Answers the reason when it
// could not. Nothing is left behind.
Status CheckOutputPath(const std::filesystem::path& path);

// Whether two paths name the same file (same device and inode), whatever
// their names; false when either does not exist.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace pellux
