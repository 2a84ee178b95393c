// pellux: the TI-92 Plus in a window, booted from the flash image named on
// the command line, the one used last, or ti92p.rom in the working folder.
#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <cstdio>
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

}  // namespace

int main(int argc, char** argv) {
  // Help and version need no display: answered before the toolkit starts.
  const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  const pellux::CommandLine line = pellux::ParseCommandLine(arguments);
  if (!line.error.empty()) {
    std::fprintf(stderr, "pellux: %s\nTry 'pellux --help'.\n", line.error.c_str());
    return 2;
  }
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
  const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  if (!dataFolder.isEmpty()) options.sessionFolder = std::filesystem::path(dataFolder.toStdString()) / "sessions";
  if (line.gdb) {
    std::string error;
    options.gdb = pellux::net::ParseEndpoint(*line.gdb, error);
  }
  // The window remembers the image it ran last, with its other settings.
  return pellux::RunPellux(options);
}
