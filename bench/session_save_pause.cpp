// pellux-session-bench: how long the window's main loop stands still for the
// background session saves.
//
//   pellux-session-bench ROM [SECONDS [INTERVAL_MS [FOLDER]]]
//
// Runs the image through the window's driver on the real clock for SECONDS
// (default 10) with the session kept in FOLDER (default: a new folder in the
// temporary directory, removed after) and saved every INTERVAL_MS (default
// 100: many saves in a short run). The flash beyond the image is filled with
// varied bytes, so the session is as large as a full 2 MB image makes it.
// Each pass of the loop is timed around the keeper's look at the interval;
// the figures are the pauses of the passes that began a save (the copy of
// the machine) against those that did not, and the time the worker takes
// for a write (serialize, write, fsync, rename).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "host/session_keeper.h"
#include "host/session_saver.h"
#include "machine/calculator.h"
#include "machine/clock.h"
#include "machine/driver.h"
#include "machine/errors.h"
#include "machine/rom_file.h"

namespace {

using namespace pellux;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double ThreadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double Percentile(std::vector<double> values, double share) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(share * static_cast<double>(values.size() - 1))];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 5) {
    std::fprintf(stderr, "usage: pellux-session-bench ROM [SECONDS [INTERVAL_MS [FOLDER]]]\n");
    return 2;
  }
  const double seconds = argc > 2 ? std::atof(argv[2]) : 10.0;
  const long intervalMs = argc > 3 ? std::atol(argv[3]) : 100;
  namespace fs = std::filesystem;
  fs::path folder;
  bool removeFolder = false;
  if (argc > 4) {
    folder = argv[4];
  } else {
    std::string name = (fs::temp_directory_path() / "pellux-session-bench-XXXXXX").string();
    if (!mkdtemp(name.data())) return 1;
    folder = name;
    removeFolder = true;
  }

  try {
    RomRead read = ReadRomFile(argv[1]);
    if (!read.ok()) {
      std::fprintf(stderr, "pellux-session-bench: %s %s\n", StartErrorText(read.error().kind),
                   read.message().c_str());
      return 1;
    }
    RomFile rom = std::move(read).value();
    Calculator calc(rom.bytes);
    std::mt19937 random(92);
    for (std::size_t i = rom.bytes.size(); i < calc.rom.size(); ++i)
      calc.rom[i] = static_cast<std::uint8_t>(random() % 5 ? random() : 0);
    const RomIdentity identity = IdentifyRom(rom.bytes);

    SteadyClock clock;
    Driver driver(calc, clock);
    SessionKeeper keeper(folder, std::chrono::milliseconds(intervalMs), [](const std::string& message, bool) {
      std::fprintf(stderr, "%s\n", message.c_str());
    });
    keeper.Adopt(keeper.Ask(identity), clock);

    // Wall time is what the display sees; the thread's CPU time leaves out
    // the moments a loaded host gives the core to another program.
    std::vector<double> savePauses, saveCpu, otherPolls;
    const auto end =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (Clock::now() < end) {
      const std::uint64_t begun = keeper.savesBegun();
      const double cpu0 = ThreadCpuMs();
      const auto t0 = Clock::now();
      keeper.Poll(calc, clock, driver.mode(), clock);
      const auto t1 = Clock::now();
      if (keeper.savesBegun() != begun) {
        savePauses.push_back(Ms(t1 - t0));
        saveCpu.push_back(ThreadCpuMs() - cpu0);
      } else {
        otherPolls.push_back(Ms(t1 - t0));
      }
      driver.Pass();
    }
    keeper.WaitForSave();

    // The worker's side, write by write.
    SessionSaver saver(folder);
    std::vector<double> writes;
    for (int i = 0; i < 10; ++i) {
      const auto t0 = Clock::now();
      saver.Begin(calc, identity, clock, driver.mode());
      saver.Wait();
      writes.push_back(Ms(Clock::now() - t0));
      if (const auto result = saver.TakeResult(); result && !result->ok()) {
        std::fprintf(stderr, "a write failed: %s\n", result->message().c_str());
        return 1;
      }
    }
    std::error_code error;
    const auto bytes = fs::file_size(SessionStore(folder).PathFor(identity), error);

    std::printf("session of %llu bytes, saved every %ld ms for %.1f s: %zu saves\n",
                static_cast<unsigned long long>(error ? 0 : bytes), intervalMs, seconds, savePauses.size());
    std::printf(
        "main loop, pass that began a save: median %.3f ms, 90th percentile %.3f ms, longest %.3f ms\n",
        Percentile(savePauses, 0.5), Percentile(savePauses, 0.9), Percentile(savePauses, 1.0));
    std::printf("  of which the main thread's CPU: median %.3f ms, longest %.3f ms\n",
                Percentile(saveCpu, 0.5), Percentile(saveCpu, 1.0));
    std::printf("main loop, other passes' look at the interval: longest %.4f ms (%zu passes)\n",
                Percentile(otherPolls, 1.0), otherPolls.size());
    std::printf("worker, one write (serialize, write, fsync, rename): median %.1f ms, longest %.1f ms\n",
                Percentile(writes, 0.5), Percentile(writes, 1.0));
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "pellux-session-bench: %s\n", StartErrorText(StartError::OutOfMemory));
    return 1;
  }
  if (removeFolder) fs::remove_all(folder);
  return 0;
}
