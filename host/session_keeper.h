// The session a window keeps: whose image it is, whether this window may
// write it (it holds the image's lock) or leaves it as it is (another window
// keeps it and this one runs on a copy), the saves at a steady interval in
// the background and the one when the machine goes, and how a failed save is
// told: once, until a save works again. A failed save never touches the
// session there was (files are written whole or not at all).
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "host/session_saver.h"
#include "host/session_store.h"
#include "io/session_lock.h"

namespace pellux {

// How often the session is saved while the machine runs. A kill, a crash or
// a power cut loses at most this much of the user's work. A save costs the
// main loop the copy of the machine (a few hundred microseconds, see
// bench/session_save_pause.cpp) and the disk one session file (up to about
// 1 MB for a full flash image): every 15 seconds that is nothing the user
// sees and a write volume any disk takes for years, as browsers save their
// sessions at the same pace. Nothing is written while the processor does not
// run (paused, or switched off and asleep).
constexpr std::chrono::milliseconds kSessionSaveInterval{15'000};

class SessionKeeper {
 public:
  // The user learns through `tell` of a save that failed (a problem), and
  // of the next one that worked again.
  using Tell = std::function<void(const std::string& message, bool problem)>;
  SessionKeeper(std::filesystem::path folder, std::chrono::nanoseconds interval, Tell tell);

  struct Claim {
    RomIdentity rom;
    SessionLock lock;
    // Another window keeps this image's session.
    bool elsewhere() const { return lock.state() == SessionLock::State::HeldElsewhere; }
  };
  // Asks for the image's session: takes its lock, creating the folder.
  // Nothing changes until the claim is adopted.
  Claim Ask(const RomIdentity& rom) const;
  // The claim's image from now on: the lock of the one before is let go
  // (after its last write), and the temporary files an interrupted save left
  // beside the sessions are removed where no live window could be writing
  // them. A claim held elsewhere leaves the session as it is.
  void Adopt(Claim claim, HostClock& realClock);

  bool adopted() const { return adopted_; }
  const RomIdentity& rom() const { return claim_.rom; }
  // Saves go to the session file; false while it is left as it is.
  bool writable() const { return adopted_ && why_.empty(); }
  // Why the session file is left as it is.
  const std::string& why() const { return why_; }
  // From now on the session file is left as it is, for this reason (a newer
  // Pellux saved it).
  void LeaveAsItIs(std::string why) { why_ = std::move(why); }
  std::filesystem::path SessionPath() const { return store_.PathFor(claim_.rom); }

  // The adopted image's saved session, if there is one. One that cannot be
  // read is set aside only when this window keeps the session.
  SessionStore::Resumed Resume(HostClock& clock) const;

  // At each pass of the main loop: starts a background save once the
  // interval has passed since the last one began, when the processor has
  // run since; tells how a finished save ended.
  void Poll(const Calculator& machine, HostClock& machineClock, Driver::Mode mode, HostClock& realClock);
  // Saves now, after the write in flight, on this thread; answers whether
  // it was saved, or why not. Tells nothing: the caller decides.
  Status SaveNow(const Calculator& machine, HostClock& machineClock, Driver::Mode mode);
  // Tells a failure once, and the first success after one.
  void Report(const Status& saved);
  // Returns when no background write is in flight (tests, benchmarks).
  void WaitForSave() { saver_.Wait(); }
  // Background saves begun so far.
  std::uint64_t savesBegun() const { return savesBegun_; }

 private:
  std::filesystem::path folder_;
  SessionStore store_;
  std::chrono::nanoseconds interval_;
  Tell tell_;
  SessionSaver saver_;
  Claim claim_;
  bool adopted_ = false;
  std::string why_;
  std::int64_t lastSaveNs_ = 0;
  std::optional<std::uint64_t> savedInstructions_;  // the processor's count at the last save
  bool failureTold_ = false;
  std::uint64_t savesBegun_ = 0;
};

// Removes the temporary files an interrupted save left beside the sessions
// (IMAGE.state.tmp-N-N, as the atomic write names them) of every image
// whose lock no live window holds, and of `own`, whose lock the caller
// holds. Answers how many went.
int RemoveStaleTemporaries(const std::filesystem::path& folder, const std::optional<RomIdentity>& own);

// The lock file beside an image's session.
std::filesystem::path LockPathFor(const SessionStore& store, const RomIdentity& rom);

}  // namespace pellux
