#include "tools/headless_session.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>

#include "machine/rom_file.h"

namespace pellux {

namespace {

constexpr double kLongestRun = 24 * 3600.0;  // seconds

}  // namespace

HeadlessSession::HeadlessSession(Calculator machine, Pacing pacing)
    : clock_(pacing == Pacing::Manual ? static_cast<HostClock*>(&manualClock_) : &steadyClock_) {
  // Manual pacing: one tick per run slice and per idle pass.
  manualClock_.passTicks = 1;
  startCount_ = clock_->PerfCounter();
  // The machine's clock is the pacing clock as it is, until the processor
  // is held to the calculator's speed: then each slice waits for its time,
  // on the manual clock by moving it on.
  if (pacing == Pacing::Manual) {
    pacedClock_ = std::make_unique<ManualSpeedClock>(manualClock_);
  } else {
    pacedClock_ = std::make_unique<SpeedClock>(steadyClock_);
  }
  calc_ = std::make_unique<Calculator>(std::move(machine));
  driver_ = std::make_unique<Driver>(*calc_, *pacedClock_);
}

void HeadlessSession::SetCalculatorSpeed(bool on) { pacedClock_->SetCalculatorSpeed(on); }

HeadlessSession::HeadlessSession(std::span<const std::uint8_t> rom, Pacing pacing)
    : HeadlessSession(Calculator(rom), pacing) {}

HeadlessSession::HeadlessSession(const std::filesystem::path& rom, Pacing pacing)
    : HeadlessSession(ReadRomFile(rom).bytes, pacing) {}

std::int64_t HeadlessSession::Now() const {
  const std::int64_t elapsed = clock_->PerfCounter() - startCount_;
  return elapsed / clock_->PerfFrequency() * kTicksPerSecond +
         elapsed % clock_->PerfFrequency() * kTicksPerSecond / clock_->PerfFrequency();
}

void HeadlessSession::ScheduleKeys(std::span<const KeyEvent> events) {
  keys_.erase(keys_.begin(), keys_.begin() + static_cast<std::ptrdiff_t>(nextKey_));
  nextKey_ = 0;
  keys_.insert(keys_.end(), events.begin(), events.end());
  std::stable_sort(keys_.begin(), keys_.end(), [](const KeyEvent& a, const KeyEvent& b) { return a.tick < b.tick; });
}

void HeadlessSession::ApplyDueKeys() {
  const std::int64_t now = Now();
  for (; nextKey_ < keys_.size() && keys_[nextKey_].tick <= now; ++nextKey_) {
    const KeyEvent& key = keys_[nextKey_];
    key.down ? driver_->KeyDown(key.code) : driver_->KeyUp(key.code);
  }
}

StopReason HeadlessSession::RunUntil(std::int64_t tick) {
  while (Now() < tick) {
    ApplyDueKeys();
    if (driver_->Pass() == RunOutcome::Breakpoint) return StopReason::Breakpoint;
  }
  return StopReason::TimeUp;
}

std::array<std::uint8_t, kLcdFrameBytes> HeadlessSession::Frame() const { return calc_->LcdFrame(); }

ParsedArguments ParseHeadlessArguments(std::span<const std::string> arguments) {
  ParsedArguments parsed;
  HeadlessOptions& options = parsed.options;
  bool haveRom = false;
  auto fail = [&](std::string message) {
    parsed.error = std::move(message);
    return parsed;
  };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string argument = arguments[i];
    if (argument == "-h" || argument == "--help") {
      options.help = true;
      continue;
    }
    if (argument == "--realtime") {
      options.realtime = true;
      continue;
    }
    if (argument == "--calculator-speed") {
      options.calculatorSpeed = true;
      continue;
    }
    if (argument.size() > 1 && argument[0] == '-') {
      // --name VALUE or --name=VALUE
      std::string value;
      bool hasValue = false;
      if (const std::size_t equals = argument.find('='); equals != std::string::npos) {
        value = argument.substr(equals + 1);
        argument.resize(equals);
        hasValue = true;
      }
      if (argument != "--seconds" && argument != "--keys" && argument != "--png" && argument != "--pbm") {
        return fail("unknown option '" + argument + "'");
      }
      if (!hasValue) {
        if (i + 1 == arguments.size()) return fail("option '" + argument + "' needs a value");
        value = arguments[++i];
      }
      if (value.empty()) return fail("option '" + argument + "' needs a value");
      if (argument == "--seconds") {
        double seconds = 0;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
        if (error != std::errc() || end != value.data() + value.size() || !std::isfinite(seconds) ||
            seconds < 0 || seconds > kLongestRun) {
          return fail("--seconds wants a number of seconds from 0 to 86400, not '" + value + "'");
        }
        options.seconds = seconds;
      } else if (argument == "--keys") {
        options.keys = value;
      } else if (argument == "--png") {
        options.png = value;
      } else {
        options.pbm = value;
      }
      continue;
    }
    if (haveRom) return fail("more than one ROM image given ('" + options.rom.string() + "', '" + argument + "')");
    options.rom = argument;
    haveRom = true;
  }
  if (!haveRom && !options.help) return fail("no ROM image given");
  return parsed;
}

std::string HeadlessUsage() {
  return "Usage: pellux-headless ROM [--seconds S] [--keys SCRIPT] [--png FILE] [--pbm FILE] [--realtime]\n"
         "                       [--calculator-speed]\n"
         "Boots the TI-92 Plus flash image ROM without a window, runs it for S seconds of\n"
         "emulated time (default 2), pressing keys as the SCRIPT file says, then writes\n"
         "the LCD as a 240 x 128 PNG and/or PBM (dark pixels black) and prints what ran.\n"
         "\n"
         "  --seconds S     emulated seconds to run, 0 to 86400 (fractions allowed)\n"
         "  --keys SCRIPT   key presses and releases at emulated times (below)\n"
         "  --png FILE      write the final LCD frame as PNG\n"
         "  --pbm FILE      write the final LCD frame as PBM (P4)\n"
         "  --realtime      pace emulated time to the real clock, as the window does;\n"
         "                  without it one tick (1/1024 s) passes per run slice of\n"
         "                  1024 instructions and per idle pass, as fast as the host\n"
         "                  allows, and every run gives the same result\n"
         "  --calculator-speed\n"
         "                  hold the processor to the real calculator's speed, about\n"
         "                  1.2 million instructions per second of emulated time:\n"
         "                  each run slice waits until emulated time has caught up\n"
         "  -h, --help      show this text\n"
         "\n"
         "Exit status: 0 done, 1 the ROM or an output file could not be read or\n"
         "written, 2 bad arguments or key script.\n"
         "\n" +
         KeyScriptHelp();
}

}  // namespace pellux
