#include "host/session_keeper.h"

#include <string_view>
#include <system_error>
#include <vector>

namespace pellux {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kStateSuffix = ".state";
constexpr std::string_view kTemporaryMark = ".tmp-";

bool AllOf(std::string_view text, std::string_view allowed) {
  return !text.empty() && text.find_first_not_of(allowed) == std::string_view::npos;
}

// The image whose session a temporary file of the atomic write was to
// replace: "0123456789abcdef.state.tmp-STAMP-SERIAL"; none for any other name.
std::optional<std::string_view> TemporaryOf(std::string_view name) {
  constexpr std::size_t kHexDigits = 16;
  const std::size_t prefix = kHexDigits + kStateSuffix.size() + kTemporaryMark.size();
  if (name.size() <= prefix || !AllOf(name.substr(0, kHexDigits), "0123456789abcdef") ||
      name.substr(kHexDigits, kStateSuffix.size()) != kStateSuffix ||
      name.substr(kHexDigits + kStateSuffix.size(), kTemporaryMark.size()) != kTemporaryMark) {
    return std::nullopt;
  }
  const std::string_view tail = name.substr(prefix);
  const std::size_t dash = tail.rfind('-');
  if (dash == std::string_view::npos || !AllOf(tail.substr(dash + 1), "0123456789")) return std::nullopt;
  std::string_view stamp = tail.substr(0, dash);
  if (stamp.starts_with('-')) stamp.remove_prefix(1);
  if (!AllOf(stamp, "0123456789")) return std::nullopt;
  return name.substr(0, kHexDigits);
}

std::int64_t NowNs(HostClock& clock) {
  const std::int64_t frequency = clock.CounterFrequency();
  if (frequency <= 0) return std::int64_t{clock.Milliseconds()} * 1'000'000;
  const std::int64_t counts = clock.Counter();
  return counts / frequency * 1'000'000'000 + counts % frequency * 1'000'000'000 / frequency;
}

}  // namespace

fs::path LockPathFor(const SessionStore& store, const RomIdentity& rom) {
  fs::path path = store.PathFor(rom);
  path += ".lock";
  return path;
}

int RemoveStaleTemporaries(const fs::path& folder, const std::optional<RomIdentity>& own) {
  const SessionStore store(folder);
  const std::string ownName = own ? RomIdentityText(*own) : std::string();
  std::vector<fs::path> stale;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    const std::optional<std::string_view> image = TemporaryOf(name);
    if (!image || !it->is_regular_file(error)) continue;
    // A window that holds the image's lock may be writing this file now.
    if (*image != ownName && LockHeldElsewhere(folder / (std::string(*image) + ".state.lock"))) continue;
    stale.push_back(it->path());
  }
  int removed = 0;
  for (const fs::path& path : stale) removed += fs::remove(path, error) ? 1 : 0;
  return removed;
}

SessionKeeper::SessionKeeper(fs::path folder, std::chrono::nanoseconds interval, Tell tell)
    : folder_(std::move(folder)),
      store_(folder_),
      interval_(interval),
      tell_(std::move(tell)),
      saver_(folder_) {}

SessionKeeper::Claim SessionKeeper::Ask(const RomIdentity& rom) const {
  Claim claim;
  claim.rom = rom;
  std::error_code error;
  fs::create_directories(folder_, error);
  // Without a folder there is no lock file either: the saves will say why.
  claim.lock = SessionLock::Take(LockPathFor(store_, rom));
  return claim;
}

void SessionKeeper::Adopt(Claim claim, HostClock& realClock) {
  // The image left gets its last write before another window may take it.
  saver_.Wait();
  if (const std::optional<Status> result = saver_.TakeResult()) Report(*result);
  claim_ = std::move(claim);
  adopted_ = true;
  why_.clear();
  failureTold_ = false;
  savedInstructions_.reset();
  lastSaveNs_ = NowNs(realClock);
  if (claim_.elsewhere()) {
    why_ = "another Pellux window keeps it";
    return;
  }
  const bool held = claim_.lock.state() == SessionLock::State::Held;
  RemoveStaleTemporaries(folder_, held ? std::optional<RomIdentity>(claim_.rom) : std::nullopt);
}

SessionStore::Resumed SessionKeeper::Resume(HostClock& clock) const {
  if (writable()) return store_.Resume(claim_.rom, clock);
  // Another window's session is read, never moved.
  SessionStore::Resumed resumed;
  const fs::path path = SessionPath();
  std::error_code error;
  if (!fs::exists(path, error)) return resumed;
  LoadStateResult loaded = LoadStateFile(path, claim_.rom, clock);
  if (loaded.ok()) {
    resumed.machine = std::move(loaded->machine);
    resumed.mode = loaded->mode;
  } else {
    resumed.message =
        "The saved session could not be read (" + loaded.message() + "); the calculator starts afresh.";
  }
  return resumed;
}

void SessionKeeper::Poll(const Calculator& machine, HostClock& machineClock, Driver::Mode mode,
                         HostClock& realClock) {
  if (!writable()) return;
  if (const std::optional<Status> result = saver_.TakeResult()) Report(*result);
  const std::int64_t now = NowNs(realClock);
  if (now - lastSaveNs_ < interval_.count() || saver_.busy()) return;
  lastSaveNs_ = now;
  // A processor that has not run since has changed nothing worth a write.
  if (savedInstructions_ == machine.cpu.instructionCount) return;
  if (saver_.Begin(machine, claim_.rom, machineClock, mode)) {
    savedInstructions_ = machine.cpu.instructionCount;
    ++savesBegun_;
  }
}

Status SessionKeeper::SaveNow(const Calculator& machine, HostClock& machineClock, Driver::Mode mode) {
  if (!writable()) return Ok();
  saver_.Wait();
  if (const std::optional<Status> result = saver_.TakeResult()) Report(*result);
  Status saved = store_.Save(machine, claim_.rom, machineClock, mode);
  if (saved.ok()) savedInstructions_ = machine.cpu.instructionCount;
  return saved;
}

void SessionKeeper::Report(const Status& saved) {
  if (saved.ok()) {
    if (failureTold_) tell_("The session is saved again.", false);
    failureTold_ = false;
    return;
  }
  if (failureTold_) return;
  failureTold_ = true;
  tell_("The session could not be saved: " + saved.message(), true);
}

}  // namespace pellux
