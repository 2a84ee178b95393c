// pellux-headless: boots a ROM image without a window, runs it for a while,
// presses keys from a script, and writes the LCD to image files.
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cpu/exceptions.h"
#include "machine/errors.h"
#include "machine/rom_file.h"
#include "tools/headless_session.h"
#include "tools/lcd_image.h"

namespace {

using namespace pellux;

constexpr int kExitDone = 0;
constexpr int kExitFile = 1;
constexpr int kExitUsage = 2;

int UsageError(const std::string& message) {
  std::fprintf(stderr, "pellux-headless: %s\nTry 'pellux-headless --help'.\n", message.c_str());
  return kExitUsage;
}

bool ReadText(const std::filesystem::path& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream contents;
  contents << in.rdbuf();
  text = contents.str();
  return !in.bad();
}

bool WriteImage(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  if (WriteFileBytes(path, bytes)) return true;
  std::fprintf(stderr, "pellux-headless: cannot write '%s'\n", path.string().c_str());
  return false;
}

int Run(const HeadlessOptions& options) {
  std::vector<KeyEvent> keys;
  if (options.keys) {
    std::string text;
    if (!ReadText(*options.keys, text)) {
      std::fprintf(stderr, "pellux-headless: cannot read the key script '%s'\n", options.keys->string().c_str());
      return kExitFile;
    }
    const KeyScript script = ParseKeyScript(text);
    if (script.error) {
      std::fprintf(stderr, "pellux-headless: %s:%d: %s\n", options.keys->string().c_str(), script.error->line,
                   script.error->message.c_str());
      return kExitUsage;
    }
    keys = script.events;
  }

  std::unique_ptr<HeadlessSession> session;
  try {
    const RomFile rom = ReadRomFile(options.rom);
    for (const std::string& warning : rom.warnings) {
      std::fprintf(stderr, "pellux-headless: warning: %s: %s\n", options.rom.string().c_str(), warning.c_str());
    }
    session = std::make_unique<HeadlessSession>(rom.bytes, options.realtime ? Pacing::Realtime : Pacing::Manual);
  } catch (const ErrMsg& error) {
    std::fprintf(stderr, "pellux-headless: %s: %s\n%s\n", StringText(error.captionId), StringText(error.textId),
                 error.detail.c_str());
    return kExitFile;
  }
  session->SetCalculatorSpeed(options.calculatorSpeed);
  session->ScheduleKeys(keys);
  const auto ticks = static_cast<std::int64_t>(std::llround(options.seconds * kTicksPerSecond));
  const StopReason reason = session->RunUntil(ticks);

  const auto frame = session->Frame();
  bool written = true;
  if (options.pbm) written &= WriteImage(*options.pbm, EncodePbm(frame));
  if (options.png) written &= WriteImage(*options.png, EncodePng(frame));

  const Calculator& calc = session->calculator();
  const DriverStats& stats = session->stats();
  const std::int64_t now = session->Now();
  std::printf("%s: %.3f s of emulated time (%" PRId64 " ticks of 1/1024 s)%s\n", options.rom.string().c_str(),
              static_cast<double>(now) / kTicksPerSecond, now, options.realtime ? ", real time" : "");
  if (reason == StopReason::Breakpoint) std::printf("  stopped at a breakpoint, PC %06x\n", calc.cpu.pc);
  std::printf("  instructions run   %" PRIu64 "\n", calc.cpu.instructionCount);
  std::printf("  timer ticks        %u\n", calc.tickCount);
  std::printf("  asleep             %.1f%% of the time (%" PRIu64 " run slices, %" PRIu64 " idle passes)\n",
              100.0 * stats.AsleepShare(), stats.slices, stats.idlePasses);
  std::printf("  PC %06x, SR %04x\n", calc.cpu.pc, static_cast<unsigned>(GetSR(calc.cpu)));
  return written ? kExitDone : kExitFile;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  const ParsedArguments parsed = ParseHeadlessArguments(arguments);
  if (!parsed.error.empty()) return UsageError(parsed.error);
  if (parsed.options.help) {
    std::fputs(HeadlessUsage().c_str(), stdout);
    return kExitDone;
  }
  return Run(parsed.options);
}
