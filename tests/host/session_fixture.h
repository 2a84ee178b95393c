// Windows that keep sessions in a folder of the test's own: each shell on a
// manual clock, with the questions it asks and the warnings it shows kept
// for the test to look at and answer.
#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/main_window.h"
#include "host/shell.h"
#include "machine/calculator.h"
#include "machine/errors.h"
#include "machine/save_state.h"
#include "tests/test_support.h"

namespace pellux::test {

struct SessionWindow {
  ManualClock clock;
  QTemporaryDir settingsDir;
  std::unique_ptr<Shell> shell;
  bool created = false;

  bool runOnCopy = false;  // the answer to "run on a copy?"
  QStringList copyQuestions;
  std::vector<UnsavedQuestion> unsaved;
  UnsavedAnswer unsavedAnswer = UnsavedAnswer::Go;
  QStringList warnings;
  QString openAnswer;  // what the Open ROM dialog answers
  QString saveAnswer;  // what the save dialog answers

  Shell& operator*() { return *shell; }
  Shell* operator->() { return shell.get(); }
  Calculator& calc() { return *shell->calculator(); }
  void Passes(int count) {
    for (int i = 0; i < count; ++i) shell->Pass();
  }
  // The window closes as the user closes it; answers the exit status.
  int Close() {
    shell->window()->RequestClose();
    return shell->Run();
  }
};

// A window on the image with its sessions in the folder; `tweak` changes the
// options before the shell is made.
inline std::unique_ptr<SessionWindow> OpenSessionWindow(
    const std::filesystem::path& rom, const std::filesystem::path& sessions,
    const std::function<void(ShellOptions&)>& tweak = {}) {
  auto w = std::make_unique<SessionWindow>();
  w->clock.passTicks = 1;
  ShellOptions options;
  options.romPath = rom;
  options.sessionFolder = sessions;
  options.clock = &w->clock;
  options.settingsFile = w->settingsDir.filePath(QStringLiteral("pellux.ini"));
  options.showError = [](const ErrMsg& error, QWidget*) {
    ADD_FAILURE() << "start-up error " << error.what();
  };
  SessionWindow* raw = w.get();
  options.askRunOnCopy = [raw](const QString& question) {
    raw->copyQuestions << question;
    return raw->runOnCopy;
  };
  options.askUnsaved = [raw](const UnsavedQuestion& question) {
    raw->unsaved.push_back(question);
    return raw->unsavedAnswer;
  };
  if (tweak) tweak(options);
  w->shell = std::make_unique<Shell>(options);
  w->created = w->shell->Create();
  if (w->created) {
    MainWindow& window = *w->shell->window();
    window.showWarning = [raw](const QString& text) { raw->warnings << text; };
    window.chooseOpenFile = [raw](FileKind, const QString&) { return raw->openAnswer; };
    window.chooseSaveFile = [raw](FileKind, const QString&) { return raw->saveAnswer; };
  }
  return w;
}

inline std::vector<std::string> FileNamesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The names of the atomic write's temporary files in the folder.
inline std::vector<std::string> TemporariesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names = FileNamesIn(folder);
  std::erase_if(names, [](const std::string& name) { return name.find(".tmp-") == std::string::npos; });
  return names;
}

// The machine saved in a state file of the image, or null (with the reason
// as a test failure).
inline std::unique_ptr<Calculator> LoadSaved(const std::filesystem::path& state,
                                             const std::vector<std::uint8_t>& rom) {
  ManualClock clock;
  LoadStateResult loaded = LoadStateFile(state, IdentifyRom(rom), clock);
  if (!loaded.ok()) ADD_FAILURE() << loaded.message();
  return std::move(loaded->machine);
}

// The session file of the image in the folder.
inline std::filesystem::path SessionFile(const std::filesystem::path& sessions,
                                         const std::vector<std::uint8_t>& rom) {
  return sessions / (RomIdentityText(IdentifyRom(rom)) + ".state");
}

}  // namespace pellux::test
