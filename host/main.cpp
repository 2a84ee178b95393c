// pellux: the TI-92 Plus in a window, booted from the flash image named on
// the command line, the one used last, or ti92p.rom in the working folder.
#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/command_line.h"
#include "host/shell.h"

namespace {

// The image to boot when the command line names none: the one used last
// while it is still there, else ti92p.rom in the working folder.
std::filesystem::path DefaultRom(QSettings& settings) {
  const std::filesystem::path last = settings.value(QStringLiteral("lastRom")).toString().toStdString();
  std::error_code error;
  if (!last.empty() && std::filesystem::is_regular_file(last, error)) return last;
  return "ti92p.rom";
}

// PELLUX_SESSION_SAVE_MS sets the interval of the session saves, for the
// tests that kill the program as it saves; anything but a whole number of
// milliseconds from 10 to 3,600,000 is refused and the default stays.
std::optional<std::chrono::milliseconds> SaveIntervalFromEnvironment() {
  const char* text = std::getenv("PELLUX_SESSION_SAVE_MS");
  if (!text || !*text) return std::nullopt;
  long long ms = 0;
  const char* end = text + std::strlen(text);
  const auto [stop, error] = std::from_chars(text, end, ms);
  if (error != std::errc() || stop != end || ms < 10 || ms > 3'600'000) {
    std::fprintf(stderr, "pellux: PELLUX_SESSION_SAVE_MS wants milliseconds from 10 to 3600000, not '%s'\n",
                 text);
    return std::nullopt;
  }
  return std::chrono::milliseconds(ms);
}

}  // namespace

int main(int argc, char** argv) {
  // Help and version need no display: answered before the toolkit starts.
  const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  const pellux::Result<pellux::CommandLine> parsed = pellux::ParseCommandLine(arguments);
  if (!parsed.ok()) {
    std::fprintf(stderr, "pellux: %s\nTry 'pellux --help'.\n", parsed.message().c_str());
    return 2;
  }
  const pellux::CommandLine& line = *parsed;
  if (line.help) {
    std::fputs(pellux::CommandLineUsage().c_str(), stdout);
    return 0;
  }
  if (line.version) {
    std::printf("%s\n", pellux::VersionText().c_str());
    return 0;
  }

  // A fractional screen scale (150 %) would make LCD pixels of uneven sizes;
  // rounded to a whole factor, each stays a square of whole device pixels.
  QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
  QApplication app(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("Pellux"));
  QCoreApplication::setApplicationName(QStringLiteral("Pellux"));
  QSettings settings;

  pellux::ShellOptions options;
  options.romPath = line.rom ? *line.rom : DefaultRom(settings);
  options.fresh = line.fresh;
  options.symbolsPath = line.symbols;
  options.watchSignals = true;
  if (const auto interval = SaveIntervalFromEnvironment()) options.sessionSaveInterval = *interval;
  const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  if (!dataFolder.isEmpty())
    options.sessionFolder = std::filesystem::path(dataFolder.toStdString()) / "sessions";
  // The command line checked the addresses.
  const auto endpoint = [](const std::string& text) -> std::optional<pellux::net::Endpoint> {
    const pellux::Result<pellux::net::Endpoint> parsed = pellux::net::ParseEndpoint(text);
    if (!parsed.ok()) return std::nullopt;
    return *parsed;
  };
  if (line.gdb) options.gdb = endpoint(*line.gdb);
  if (line.linkListen) options.linkListen = endpoint(*line.linkListen);
  if (line.linkConnect) options.linkConnect = endpoint(*line.linkConnect);
  // The window remembers the image it ran last, with its other settings.
  return pellux::RunPellux(options);
}
