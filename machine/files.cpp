#include "machine/files.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <system_error>

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

namespace pellux {

namespace {

namespace fs = std::filesystem;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string SystemReason(int error) { return std::generic_category().message(error); }

InputFile Failure(FileError error, std::string reason) {
  InputFile file;
  file.error = error;
  file.reason = std::move(reason);
  return file;
}

// Flushes the stream's buffers and then the operating system's.
bool FlushToDisk(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
#if defined(__unix__) || defined(__APPLE__)
  if (::fsync(::fileno(file)) != 0) return false;
#endif
  return true;
}

// A name in the destination's folder that no other writer uses.
fs::path TemporaryNameBeside(const fs::path& path) {
  static std::atomic<unsigned> serial{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  fs::path name = path;
  name += ".tmp-" + std::to_string(stamp) + "-" + std::to_string(serial++);
  return name;
}

}  // namespace

InputFile ReadInputFile(const fs::path& path, std::size_t limit, OverLimit overLimit) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (error) return Failure(FileError::OpenFailed, SystemReason(error.value()));
  switch (status.type()) {
    case fs::file_type::regular:
    case fs::file_type::character:
      break;
    case fs::file_type::directory:
      return Failure(FileError::OpenFailed, "is a directory, not a file");
    case fs::file_type::fifo:
      return Failure(FileError::OpenFailed, "is a FIFO, not a file");
    case fs::file_type::socket:
      return Failure(FileError::OpenFailed, "is a socket, not a file");
    default:
      return Failure(FileError::OpenFailed, "is not a regular file");
  }

  errno = 0;
  FilePtr file(std::fopen(path.string().c_str(), "rb"));
  if (!file) return Failure(FileError::OpenFailed, SystemReason(errno ? errno : EACCES));

  // One byte past the limit tells whether there was more.
  InputFile result;
  const std::size_t want = limit + 1;
  std::size_t total = 0;
  constexpr std::size_t kChunk = 1 << 16;
  while (total < want) {
    const std::size_t step = std::min(kChunk, want - total);
    result.bytes.resize(total + step);
    errno = 0;
    const std::size_t got = std::fread(result.bytes.data() + total, 1, step, file.get());
    total += got;
    if (got < step) break;
  }
  if (std::ferror(file.get())) return Failure(FileError::ReadFailed, SystemReason(errno ? errno : EIO));
  result.bytes.resize(total);
  if (total > limit) {
    if (overLimit == OverLimit::Refuse) {
      return Failure(FileError::TooLarge, "is larger than " + std::to_string(limit) + " bytes");
    }
    result.bytes.resize(limit);
    result.truncated = true;
  }
  return result;
}

std::string DescribeFileError(const fs::path& path, const std::string& reason) {
  return path.string() + ": " + reason;
}

std::string WriteFileAtomically(const fs::path& path, std::span<const std::uint8_t> bytes) {
  std::error_code error;
  if (fs::is_directory(path, error)) return "is a directory";
  const fs::path temporary = TemporaryNameBeside(path);
  errno = 0;
  FilePtr file(std::fopen(temporary.string().c_str(), "wb"));
  if (!file) return SystemReason(errno ? errno : EACCES);
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  const int writeError = errno;
  const bool flushed = written && FlushToDisk(file.get());
  const int flushError = errno;
  const bool closed = std::fclose(file.release()) == 0;
  if (!written || !flushed || !closed) {
    fs::remove(temporary, error);
    const int reason = !written ? writeError : flushError;
    return SystemReason(reason ? reason : EIO);
  }
  fs::rename(temporary, path, error);
  if (error) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return error.message();
  }
  return {};
}

std::string CheckOutputPath(const fs::path& path) {
  std::error_code error;
  if (fs::is_directory(path, error)) return "is a directory";
  const fs::path temporary = TemporaryNameBeside(path);
  errno = 0;
  FilePtr file(std::fopen(temporary.string().c_str(), "wb"));
  if (!file) return SystemReason(errno ? errno : EACCES);
  file.reset();
  fs::remove(temporary, error);
  return {};
}

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code error;
  const bool same = fs::equivalent(a, b, error);
  return !error && same;
}

}  // namespace pellux
