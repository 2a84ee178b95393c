// One window at a time keeps an image's session: it holds an advisory lock
// (flock) on a lock file beside the session while it runs. The system lets
// go of the lock when the process ends, however it ends, so a crash never
// leaves a stale lock behind; the lock files themselves stay (removing one
// would race with a window taking it).
#pragma once

#include <filesystem>
#include <string>

namespace pellux {

class SessionLock {
 public:
  enum class State {
    None,           // nothing asked, or let go
    Held,           // this object holds it
    HeldElsewhere,  // another live window (process) holds it
    Unavailable,    // no lock file could be had (a folder that cannot be written); reason() says why
  };

  // Takes the lock without waiting (beyond a moment, for a look by another
  // start that holds it only that long). Where the system has no flock the
  // lock is always Held, and nothing is shared.
  static SessionLock Take(const std::filesystem::path& path);

  SessionLock() = default;
  SessionLock(SessionLock&& other) noexcept;
  SessionLock& operator=(SessionLock&& other) noexcept;
  SessionLock(const SessionLock&) = delete;
  SessionLock& operator=(const SessionLock&) = delete;
  ~SessionLock() { Release(); }

  State state() const { return state_; }
  // The process that holds it elsewhere, as it wrote in the file; 0 when unknown.
  long holder() const { return holder_; }
  const std::string& reason() const { return reason_; }

  void Release();

 private:
  int fd_ = -1;
  State state_ = State::None;
  long holder_ = 0;
  std::string reason_;
};

// Whether a live process holds the lock at path: a look that takes it and
// lets go at once. False when there is no lock file.
bool LockHeldElsewhere(const std::filesystem::path& path);

}  // namespace pellux
