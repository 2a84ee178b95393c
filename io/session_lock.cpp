#include "io/session_lock.h"

#include <cerrno>
#include <chrono>
#include <system_error>
#include <thread>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#define PELLUX_HAVE_FLOCK 1
#endif

namespace pellux {

namespace {

#ifdef PELLUX_HAVE_FLOCK
// A start that sweeps stale files looks at other images' locks by taking
// them for a moment; a few short tries keep that from passing for a window.
constexpr int kTries = 4;
constexpr auto kBetweenTries = std::chrono::milliseconds(2);

// The process id the holder wrote, or 0.
long ReadHolder(int fd) {
  char text[32] = {};
  const ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
  long pid = 0;
  for (ssize_t i = 0; i < got && text[i] >= '0' && text[i] <= '9'; ++i) pid = pid * 10 + (text[i] - '0');
  return pid;
}

void WriteHolder(int fd) {
  const std::string pid = std::to_string(static_cast<long>(::getpid())) + "\n";
  if (::ftruncate(fd, 0) == 0) (void)!::pwrite(fd, pid.data(), pid.size(), 0);
}
#endif

}  // namespace

SessionLock::SessionLock(SessionLock&& other) noexcept { *this = std::move(other); }

SessionLock& SessionLock::operator=(SessionLock&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = other.fd_;
    state_ = other.state_;
    holder_ = other.holder_;
    reason_ = std::move(other.reason_);
    other.fd_ = -1;
    other.state_ = State::None;
  }
  return *this;
}

void SessionLock::Release() {
#ifdef PELLUX_HAVE_FLOCK
  // Closing the last descriptor of the open file lets go of the lock.
  if (fd_ >= 0) ::close(fd_);
#endif
  fd_ = -1;
  state_ = State::None;
}

SessionLock SessionLock::Take(const std::filesystem::path& path) {
  SessionLock lock;
#ifdef PELLUX_HAVE_FLOCK
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  bool writable = fd >= 0;
  if (fd < 0) {
    // A lock file that exists in a folder this user cannot write still locks.
    const int error = errno;
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      lock.state_ = State::Unavailable;
      lock.reason_ = path.string() + ": " + std::generic_category().message(error);
      return lock;
    }
  }
  for (int attempt = 0; attempt < kTries; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(kBetweenTries);
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      if (writable) WriteHolder(fd);
      lock.fd_ = fd;
      lock.state_ = State::Held;
      return lock;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) {
      lock.state_ = State::Unavailable;
      lock.reason_ = path.string() + ": " + std::generic_category().message(errno);
      ::close(fd);
      return lock;
    }
  }
  lock.state_ = State::HeldElsewhere;
  lock.holder_ = ReadHolder(fd);
  ::close(fd);
#else
  (void)path;
  lock.state_ = State::Held;
#endif
  return lock;
}

bool LockHeldElsewhere(const std::filesystem::path& path) {
#ifdef PELLUX_HAVE_FLOCK
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);  // lets go of it again, if it was taken
  return held;
#else
  (void)path;
  return false;
#endif
}

}  // namespace pellux
