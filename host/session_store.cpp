#include "host/session_store.h"

#include <chrono>
#include <system_error>

namespace pellux {

namespace fs = std::filesystem;

fs::path SessionStore::PathFor(const RomIdentity& rom) const {
  return folder_ / (RomIdentityText(rom) + ".state");
}

SessionStore::Resumed SessionStore::Resume(const RomIdentity& rom, HostClock& clock) const {
  Resumed resumed;
  const fs::path path = PathFor(rom);
  std::error_code error;
  if (!fs::exists(path, error)) return resumed;
  LoadStateResult loaded = LoadStateFile(path, rom, clock);
  if (loaded.ok()) {
    resumed.machine = std::move(loaded->machine);
    resumed.mode = loaded->mode;
    for (const std::string& note : loaded->notes)
      resumed.message += (resumed.message.empty() ? "" : " ") + note;
    return resumed;
  }
  if (FailedWith(loaded, StateRefusal::NewerVersion)) {
    // Sound, only not for this Pellux: the newer one resumes it next time.
    resumed.newerSessionKept = true;
    resumed.message =
        "The saved session cannot be resumed (" + loaded.message() +
        "); it is kept as it is and not replaced when this window closes. The calculator starts afresh.";
    return resumed;
  }
  // Kept for the user to look at, out of the way of the next save.
  const auto stamp =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
          .count();
  fs::path aside = path;
  aside += ".unreadable-" + std::to_string(stamp);
  fs::rename(path, aside, error);
  resumed.message =
      "The saved session could not be read (" + loaded.message() + "); the calculator starts afresh.";
  resumed.message += error ? " The file stays where it was: " + error.message() + "."
                           : " The file was kept as " + aside.string() + ".";
  return resumed;
}

Status SessionStore::Save(const Calculator& machine, const RomIdentity& rom, HostClock& clock,
                          Driver::Mode mode) const {
  std::error_code error;
  fs::create_directories(folder_, error);
  if (error) return Fail(folder_.string() + ": " + error.message());
  return SaveStateFile(PathFor(rom), machine, rom, clock, mode);
}

}  // namespace pellux
