// Start-up errors: the message box with the texts of the error's ids, and
// the exit code 1.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "host/shell.h"
#include "host/show_error.h"
#include "machine/errors.h"

namespace pellux {
namespace {

namespace fs = std::filesystem;

// An empty directory of its own, made the working directory while it lives.
class EmptyWorkingDirectory {
 public:
  EmptyWorkingDirectory() : previous_(fs::current_path()) {
    char name[] = "/tmp/pellux-startup-XXXXXX";
    path_ = mkdtemp(name) ? fs::path(name) : fs::path();
    fs::current_path(path_);
  }
  ~EmptyWorkingDirectory() {
    fs::current_path(previous_);
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path previous_;
  fs::path path_;
};

struct ShownBox {
  QString caption;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  int shown = 0;
};

// Closes the next message box as soon as it is up, noting what it said.
void CloseTheNextBox(ShownBox& seen) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, poll, [poll, &seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    seen.caption = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    seen.buttons = box->standardButtons();
    ++seen.shown;
    box->accept();
    poll->deleteLater();
  });
  poll->start(10);
}

// Offscreen nobody could close a box: the program says why on standard
// error and ends at once.
TEST(StartupError, AMissingRomOffscreenIsSaidOnStandardErrorAndExitsWith1) {
  ASSERT_FALSE(PlatformShowsWindows()) << "the host tests run on the offscreen platform";
  EmptyWorkingDirectory dir;
  testing::internal::CaptureStderr();
  // ti92p.rom in the working directory, the real ShowError: a box would never return.
  const int status = RunPellux();
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 1);
  EXPECT_TRUE(
      said.starts_with("pellux: Initialization Error: ROM image file could not be opened.\n"
                       "ti92p.rom: No such file or directory\n"))
      << said;
  EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty()) << "nothing of the window is left";
}

TEST(StartupError, EveryBadRomPathGivesTheOpenErrorAndNoWindow) {
  EmptyWorkingDirectory dir;
  fs::create_directory(dir.path() / "ti92p.rom");  // a directory where the image should be
  ASSERT_EQ(::mkfifo((dir.path() / "fifo.rom").c_str(), 0600), 0);  // would block an open() for reading
  std::vector<StartError> shown;
  for (const fs::path& rom : {dir.path() / "ti92p.rom", dir.path() / "missing.rom", fs::path(), dir.path() / "fifo.rom"}) {
    ShellOptions options;
    options.romPath = rom;
    options.showError = [&](const ErrMsg& error, QWidget*) {
      shown.push_back(error.kind);
      EXPECT_STREQ(error.caption(), "Initialization Error");
    };
    Shell shell(options);
    EXPECT_FALSE(shell.Create()) << rom;
    EXPECT_EQ(shell.window(), nullptr);
    EXPECT_EQ(shell.calculator(), nullptr);
  }
  EXPECT_EQ(shown, std::vector<StartError>(4, StartError::RomOpenFailed));
}

TEST(StartupError, TheBoxShowsTheTextOfEachError) {
  const std::pair<StartError, const char*> cases[] = {
      {StartError::RomOpenFailed, "ROM image file could not be opened."},
      {StartError::RomReadFailed, "ROM image file could not be read."},
      {StartError::OutOfMemory, "Not enough free memory."},
      {StartError::OutOfResources, "Not enough free system resources."},
  };
  for (const auto& [id, text] : cases) {
    ShownBox seen;
    CloseTheNextBox(seen);
    MakeErrorBox(ErrMsg(id), nullptr)->exec();
    EXPECT_EQ(seen.shown, 1);
    EXPECT_EQ(seen.caption, "Initialization Error");
    EXPECT_EQ(seen.text, text);
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.buttons, QMessageBox::Ok);
    EXPECT_EQ(ErrorText(ErrMsg(id)), std::string("pellux: Initialization Error: ") + text);
  }
}

}  // namespace
}  // namespace pellux
