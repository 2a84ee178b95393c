// Saving the session as the window goes: at a steady interval in the
// background, when a signal asks the program to end, and when a save fails
// (told once, the last good session kept, a box at the close with a way to
// save elsewhere); and the temporary files an interrupted save left behind,
// removed at the next start.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>

#include "host/session_keeper.h"
#include "host/session_prompts.h"
#include "host/shell.h"
#include "host/status_line.h"
#include "io/session_lock.h"
#include "machine/calculator.h"
#include "tests/host/dialog_driving.h"
#include "tests/host/session_fixture.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kVariable = 0x1234;
// About 20 passes of the loop on the manual clock (a tick each).
constexpr std::chrono::milliseconds kInterval{20};

std::unique_ptr<test::SessionWindow> SavingWindow(const fs::path& rom, const fs::path& sessions,
                                                  const std::function<void(ShellOptions&)>& tweak = {}) {
  return test::OpenSessionWindow(rom, sessions, [&](ShellOptions& options) {
    options.sessionSaveInterval = kInterval;
    if (tweak) tweak(options);
  });
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(SessionSaving, TheIntervalSaveLeavesASessionThatLoads) {
  const test::TempDir sessions;
  const std::vector<std::uint8_t> image = test::NopRom().bytes();
  const test::TempFile rom(image);
  auto w = SavingWindow(rom.path(), sessions.path());
  ASSERT_TRUE(w->created);
  const fs::path session = test::SessionFile(sessions.path(), image);
  w->calc().ram[kVariable] = 0x5A;
  w->Passes(10);
  w->shell->sessions()->WaitForSave();
  EXPECT_FALSE(fs::exists(session)) << "nothing before the interval";

  w->Passes(20);
  w->shell->sessions()->WaitForSave();
  std::unique_ptr<Calculator> saved = test::LoadSaved(session, image);
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(saved->ram[kVariable], 0x5A);
  EXPECT_GT(saved->cpu.instructionCount, 0u);
  EXPECT_LE(saved->cpu.instructionCount, w->calc().cpu.instructionCount);
  EXPECT_TRUE(test::TemporariesIn(sessions.path()).empty());

  // And on: a later change is in a later save.
  w->calc().ram[kVariable] = 0x5B;
  w->Passes(25);
  w->shell->sessions()->WaitForSave();
  EXPECT_EQ(test::LoadSaved(session, image)->ram[kVariable], 0x5B);

  // Paused, the machine changes nothing, and nothing is written.
  w->shell->SetPaused(true);
  w->Passes(25);
  w->shell->sessions()->WaitForSave();
  fs::remove(session);
  w->Passes(100);
  w->shell->sessions()->WaitForSave();
  EXPECT_FALSE(fs::exists(session));
  w->shell->SetPaused(false);
  w->Passes(25);
  w->shell->sessions()->WaitForSave();
  EXPECT_TRUE(fs::exists(session));
}

TEST(SessionSaving, EachSignalThatEndsTheProgramClosesTheWindowSaving) {
  const std::vector<std::uint8_t> image = test::NopRom().bytes();
  const test::TempFile rom(image);
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    const test::TempDir sessions;
    // Only the close saves: the interval never comes.
    auto w = test::OpenSessionWindow(rom.path(), sessions.path(), [](ShellOptions& options) {
      options.watchSignals = true;
      options.sessionSaveInterval = std::chrono::hours(1);
    });
    ASSERT_TRUE(w->created);
    w->Passes(30);
    w->calc().ram[kVariable] = static_cast<std::uint8_t>(signal);
    const std::uint64_t ran = w->calc().cpu.instructionCount;
    ASSERT_EQ(std::raise(signal), 0);
    EXPECT_EQ(w->shell->Run(), 0) << "the loop ends by itself, saving";
    const std::unique_ptr<Calculator> saved =
        test::LoadSaved(test::SessionFile(sessions.path(), image), image);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->ram[kVariable], signal);
    EXPECT_GE(saved->cpu.instructionCount, ran);
    EXPECT_TRUE(w->unsaved.empty());
  }
}

// Ways to make every write in the folder fail, and to undo them.
struct Fault {
  const char* name;
  bool permissionsBite;  // needs a user whom permissions stop (not root)
  void (*on)(const fs::path& folder);
  void (*off)(const fs::path& folder);
};

rlimit gSizeLimit{};

const Fault kFaults[] = {
    {"a read-only folder", true,
     [](const fs::path& folder) { fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec); },
     [](const fs::path& folder) { fs::permissions(folder, fs::perms::owner_all); }},
    // As on a full disk, and it binds root too: no file may grow past 64 KB.
    {"a file size limit", false,
     [](const fs::path&) {
       std::signal(SIGXFSZ, SIG_IGN);
       getrlimit(RLIMIT_FSIZE, &gSizeLimit);
       const rlimit small{64 * 1024, gSizeLimit.rlim_max};
       setrlimit(RLIMIT_FSIZE, &small);
     },
     [](const fs::path&) {
       setrlimit(RLIMIT_FSIZE, &gSizeLimit);
       std::signal(SIGXFSZ, SIG_DFL);
     }},
};

TEST(SessionSaving, AFailedSaveIsToldOnceAndTheLastGoodSessionStays) {
  const std::vector<std::uint8_t> image = test::NopRom().bytes();
  const test::TempFile rom(image);
  for (const Fault& fault : kFaults) {
    SCOPED_TRACE(fault.name);
    if (fault.permissionsBite && geteuid() == 0) {
      std::printf("[ SKIPPED ] %s: permissions do not stop root\n", fault.name);
      continue;
    }
    const test::TempDir sessions;
    const fs::path session = test::SessionFile(sessions.path(), image);
    auto w = SavingWindow(rom.path(), sessions.path());
    ASSERT_TRUE(w->created);
    // RAM that does not pack small: the session outgrows the size limit.
    std::mt19937 random(7);
    for (std::uint8_t& byte : w->calc().ram) byte = static_cast<std::uint8_t>(random());
    w->calc().ram[kVariable] = 1;
    w->Passes(25);
    w->shell->sessions()->WaitForSave();
    ASSERT_EQ(test::LoadSaved(session, image)->ram[kVariable], 1);

    fault.on(sessions.path());
    w->calc().ram[kVariable] = 2;
    testing::internal::CaptureStderr();
    for (int interval = 0; interval < 4; ++interval) {
      w->Passes(25);
      w->shell->sessions()->WaitForSave();
    }
    w->Passes(1);  // the last write's end is told
    const std::string said = testing::internal::GetCapturedStderr();
    fault.off(sessions.path());
    EXPECT_EQ(Count(said, "pellux: the session could not be saved: "), 1u) << said;
    const QString shown = w->shell->window()->statusLine().currentMessage();
    EXPECT_TRUE(
        shown.startsWith("The session could not be saved: " + QString::fromStdString(session.string())))
        << shown.toStdString();
    EXPECT_EQ(test::LoadSaved(session, image)->ram[kVariable], 1) << "the last good session";
    EXPECT_TRUE(test::TemporariesIn(sessions.path()).empty());

    // Once a save works again, the user hears that too.
    testing::internal::CaptureStderr();
    w->Passes(25);
    w->shell->sessions()->WaitForSave();
    w->Passes(1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("saved again"), std::string::npos);
    EXPECT_EQ(test::LoadSaved(session, image)->ram[kVariable], 2);
  }
}

TEST(SessionSaving, ASessionThatCannotBeSavedAtTheCloseIsShownWithAWayToSaveElsewhere) {
  const test::TempDir dir;
  // A folder under a regular file can never be made, whoever asks.
  const fs::path sessions = dir.Write("file", "not a folder") / "sessions";
  const std::vector<std::uint8_t> image = test::NopRom().bytes();
  const test::TempFile rom(image);
  QStringList asked;
  bool savedElsewhere = false;
  testing::internal::CaptureStderr();
  auto w = SavingWindow(rom.path(), sessions, [&](ShellOptions& options) {
    options.askUnsaved = [&](const UnsavedQuestion& question) {
      asked << question.text;
      savedElsewhere = question.saveElsewhere();
      return UnsavedAnswer::Go;
    };
  });
  ASSERT_TRUE(w->created);
  w->Passes(30);
  w->calc().ram[kVariable] = 7;
  w->saveAnswer = QString::fromStdString((dir.path() / "kept").string());
  const int status = w->Close();
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, kExitSessionNotSaved);
  ASSERT_EQ(asked.size(), 1);
  EXPECT_TRUE(
      asked[0].startsWith("The session could not be saved: " + QString::fromStdString(sessions.string())))
      << asked[0].toStdString();
  EXPECT_TRUE(asked[0].contains("Not a directory")) << asked[0].toStdString();
  EXPECT_TRUE(savedElsewhere);
  const std::unique_ptr<Calculator> kept = test::LoadSaved(dir.path() / "kept.state", image);
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->ram[kVariable], 7);
  // The interval's failure once, the close's once.
  EXPECT_EQ(Count(said, "pellux: the session could not be saved: "), 2u) << said;
}

TEST(SessionSaving, TheUnsavedBoxSavesElsewhereGoesOnOrStays) {
  struct Case {
    bool canStay;
    bool saveWorks;
    std::vector<QString> clicks;  // the buttons pressed, box after box
    UnsavedAnswer answer;
    int saves;
  } const cases[] = {
      {false, true, {"Save State..."}, UnsavedAnswer::Go, 1},
      {false, false, {"Save State...", "Quit Without Saving"}, UnsavedAnswer::Go, 1},
      {true, false, {"Cancel"}, UnsavedAnswer::Stay, 0},
      {true, false, {"Open Without Saving"}, UnsavedAnswer::Go, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.clicks.back().toStdString());
    int saves = 0;
    UnsavedQuestion question;
    question.text = QStringLiteral("The session could not be saved: disk full");
    question.goText =
        c.canStay ? QStringLiteral("Open Without Saving") : QStringLiteral("Quit Without Saving");
    question.canStay = c.canStay;
    question.saveElsewhere = [&] {
      ++saves;
      return c.saveWorks;
    };
    std::size_t shown = 0;
    test::ModalDriver driver(QStringLiteral("Pellux"), [&](QDialog& dialog) {
      auto& box = static_cast<QMessageBox&>(dialog);
      EXPECT_EQ(box.text(), question.text);
      const QString want = shown < c.clicks.size() ? c.clicks[shown] : QStringLiteral("(none)");
      ++shown;
      for (QAbstractButton* button : box.buttons()) {
        if (button->text().remove('&') == want) return button->click();
      }
      ADD_FAILURE() << "no button " << want.toStdString();
      box.reject();
    });
    EXPECT_EQ(AskUnsavedBox(question, nullptr), c.answer);
    EXPECT_EQ(saves, c.saves);
    EXPECT_EQ(shown, c.clicks.size());
  }
}

TEST(SessionSaving, StaleTemporaryFilesGoAtTheNextStartUnlessAWindowCouldBeWritingThem) {
  const test::TempDir sessions;
  const std::vector<std::uint8_t> image = test::NopRom().bytes();
  const test::TempFile rom(image);
  const std::string own = RomIdentityText(IdentifyRom(image));
  const std::string busy = "00000000000000b0";  // an image another window runs
  const std::string left = "00000000000000c0";  // one nobody runs
  for (const std::string& name : {own + ".state.tmp-123-0", own + ".state.tmp--5-1", busy + ".state.tmp-77-2",
                                  left + ".state.tmp-9-3", std::string("notes.txt"), own + ".state.tmp-x",
                                  own + ".state.tmp-1-2.bak", std::string("0123.state.tmp-1-1")})
    sessions.Write(name, "half a state");
  SessionLock other = SessionLock::Take(sessions.path() / (busy + ".state.lock"));
  ASSERT_EQ(other.state(), SessionLock::State::Held);

  auto w = test::OpenSessionWindow(rom.path(), sessions.path());
  ASSERT_TRUE(w->created);
  EXPECT_EQ(test::TemporariesIn(sessions.path()),
            (std::vector<std::string>{busy + ".state.tmp-77-2", "0123.state.tmp-1-1",
                                      own + ".state.tmp-1-2.bak", own + ".state.tmp-x"}));
  EXPECT_TRUE(fs::exists(sessions.path() / "notes.txt"));
}

TEST(SessionLock, OneHolderAtATimeAndTheOthersAreToldWho) {
  const test::TempDir dir;
  const fs::path path = dir.path() / "image.state.lock";
  EXPECT_FALSE(LockHeldElsewhere(path)) << "no lock file yet";
  SessionLock first = SessionLock::Take(path);
  ASSERT_EQ(first.state(), SessionLock::State::Held);
  EXPECT_TRUE(LockHeldElsewhere(path));
  SessionLock second = SessionLock::Take(path);
  EXPECT_EQ(second.state(), SessionLock::State::HeldElsewhere);
  EXPECT_EQ(second.holder(), static_cast<long>(getpid()));
  first.Release();
  EXPECT_FALSE(LockHeldElsewhere(path));
  EXPECT_EQ(SessionLock::Take(path).state(), SessionLock::State::Held);
  const SessionLock nowhere = SessionLock::Take(dir.Write("file", "x") / "image.state.lock");
  EXPECT_EQ(nowhere.state(), SessionLock::State::Unavailable);
  EXPECT_NE(nowhere.reason().find("Not a directory"), std::string::npos) << nowhere.reason();
}

}  // namespace
}  // namespace pellux
