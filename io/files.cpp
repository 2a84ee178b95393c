#include "io/files.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <system_error>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/stat.h>
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

InputFile Failure(FileError error, std::string reason) { return Fail(error, std::move(reason)); }

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

// Why a file of this type is neither read nor written: a FIFO would block
// until the other end came, a directory or socket holds no bytes, and a
// rename over a device would remove it.
const char* NotAFile(fs::file_type type) {
  switch (type) {
    case fs::file_type::directory:
      return "is a directory, not a file";
    case fs::file_type::fifo:
      return "is a FIFO, not a file";
    case fs::file_type::socket:
      return "is a socket, not a file";
    case fs::file_type::character:
    case fs::file_type::block:
      return "is a device, not a file";
    default:
      return "is not a regular file";
  }
}

// Why a file of this type is not read, or null when it is.
const char* RefusedInputType(fs::file_type type) {
  return type == fs::file_type::regular || type == fs::file_type::character ? nullptr : NotAFile(type);
}

// Opens without blocking, then looks again at what was opened: the name may
// have come to stand for a FIFO since it was looked at. Answers the file, or
// the reason.
Result<FilePtr> OpenForReading(const fs::path& path) {
#if defined(__unix__) || defined(__APPLE__)
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Fail(SystemReason(errno));
  std::string reason;
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    reason = SystemReason(errno);
  } else if (S_ISFIFO(info.st_mode)) {
    reason = RefusedInputType(fs::file_type::fifo);
  } else if (S_ISDIR(info.st_mode)) {
    reason = RefusedInputType(fs::file_type::directory);
  } else if (!S_ISREG(info.st_mode) && !S_ISCHR(info.st_mode)) {
    reason = RefusedInputType(fs::file_type::unknown);
  } else {
    // Reads block as usual from here on; only the open had to not wait.
    const int flags = ::fcntl(fd, F_GETFL);
    std::FILE* file =
        flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0 ? ::fdopen(fd, "rb") : nullptr;
    if (file) return FilePtr(file);
    reason = SystemReason(errno);
  }
  ::close(fd);
  return Fail(std::move(reason));
#else
  errno = 0;
  FilePtr file(std::fopen(path.string().c_str(), "rb"));
  if (!file) return Fail(SystemReason(errno ? errno : EACCES));
  return file;
#endif
}

// Where an output lands: a symbolic link is followed, so that the file it
// names is replaced and the link stays. Existing outputs must be regular
// files: renaming over a FIFO, a device or a socket would remove it.
Result<fs::path> ResolveOutput(const fs::path& path) {
  std::error_code error;
  fs::path target = path;
  if (fs::is_symlink(fs::symlink_status(path, error))) {
    target = fs::weakly_canonical(path, error);
    if (error) return Fail(error.message());
  }
  const fs::file_status status = fs::status(target, error);
  if (status.type() == fs::file_type::not_found || status.type() == fs::file_type::regular) return target;
  return Fail(error ? error.message() : NotAFile(status.type()));
}

}  // namespace

InputFile ReadInputFile(const fs::path& path, std::size_t limit, OverLimit overLimit) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (error) return Failure(FileError::OpenFailed, SystemReason(error.value()));
  if (const char* refusal = RefusedInputType(status.type())) return Failure(FileError::OpenFailed, refusal);

  Result<FilePtr> opened = OpenForReading(path);
  if (!opened.ok()) return Failure(FileError::OpenFailed, opened.message());
  const FilePtr file = std::move(opened).value();

  // One byte past the limit tells whether there was more.
  InputBytes result;
  const std::size_t want = limit < SIZE_MAX ? limit + 1 : limit;
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

Status WriteFileAtomically(const fs::path& path, std::span<const std::uint8_t> bytes) {
  const Result<fs::path> resolved = ResolveOutput(path);
  if (!resolved.ok()) return resolved.error();
  const fs::path& target = *resolved;
  std::error_code error;
  const fs::path temporary = TemporaryNameBeside(target);
  errno = 0;
  FilePtr file(std::fopen(temporary.string().c_str(), "wb"));
  if (!file) return Fail(SystemReason(errno ? errno : EACCES));
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  const int writeError = errno;
  const bool flushed = written && FlushToDisk(file.get());
  const int flushError = errno;
  const bool closed = std::fclose(file.release()) == 0;
  if (!written || !flushed || !closed) {
    fs::remove(temporary, error);
    const int reason = !written ? writeError : flushError;
    return Fail(SystemReason(reason ? reason : EIO));
  }
  // A file replaced keeps who may read and write it.
  const fs::file_status old = fs::status(target, error);
  if (!error && fs::is_regular_file(old)) fs::permissions(temporary, old.permissions(), error);
  fs::rename(temporary, target, error);
  if (error) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return Fail(error.message());
  }
  return Ok();
}

Status CheckOutputPath(const fs::path& path) {
  const Result<fs::path> target = ResolveOutput(path);
  if (!target.ok()) return target.error();
  std::error_code error;
  const fs::path temporary = TemporaryNameBeside(*target);
  errno = 0;
  FilePtr file(std::fopen(temporary.string().c_str(), "wb"));
  if (!file) return Fail(SystemReason(errno ? errno : EACCES));
  file.reset();
  fs::remove(temporary, error);
  return Ok();
}

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code error;
  const bool same = fs::equivalent(a, b, error);
  return !error && same;
}

}  // namespace pellux
