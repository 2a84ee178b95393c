// A shell on a ROM of the test's own, with the window as the machine's host.
#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <optional>
#include <vector>

#include "host/main_window.h"
#include "host/shell.h"
#include "machine/calculator.h"
#include "machine/errors.h"
#include "tests/test_support.h"

namespace pellux::test {

class ShellFixture {
 public:
  // Counts each opening of the debugger; with realDebugger the Debug dialog
  // then opens too, else nothing does.
  // With gdb, a debugger may attach there.
  explicit ShellFixture(const std::vector<std::uint8_t>& rom = RomBuilder().bytes(),
                        bool realDebugger = false, std::optional<net::Endpoint> gdb = std::nullopt)
      : romFile_(rom), shell_(Options(romFile_.path(), clock, settingsDir_, std::move(gdb))) {
    created = shell_.Create();
    if (created) {
      window().openDebugger = [this, realDebugger, open = window().openDebugger] {
        ++debuggerOpened;
        if (realDebugger) open();
      };
    }
  }
  Shell& shell() { return shell_; }
  MainWindow& window() { return *shell_.window(); }
  Calculator& calc() { return *shell_.calculator(); }
  // The INI file the window's settings are kept in.
  QString settingsFile() const { return settingsDir_.filePath(QStringLiteral("pellux.ini")); }

  bool created = false;
  int debuggerOpened = 0;
  // The loop's time: one tick per run slice and per idle pass, no sleeping.
  ManualClock clock;

 private:
  static ShellOptions Options(const std::filesystem::path& rom, ManualClock& clock,
                              const QTemporaryDir& settings, std::optional<net::Endpoint> gdb) {
    clock.passTicks = 1;
    ShellOptions options;
    // Never the user's own settings.
    options.settingsFile = settings.filePath(QStringLiteral("pellux.ini"));
    options.romPath = rom;
    options.showError = [](const ErrMsg& error, QWidget*) { ADD_FAILURE() << "start-up error " << error.what(); };
    options.clock = &clock;
    options.gdb = std::move(gdb);
    return options;
  }

  QTemporaryDir settingsDir_;
  TempFile romFile_;
  Shell shell_;
};

}  // namespace pellux::test
