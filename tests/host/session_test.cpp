// The session that survives closing the window: saved on close, resumed at
// the next start with the same image and when File > Open ROM comes back to
// it, a broken one set aside, and one window at a time keeping it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QTest>
#include <QWidget>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "host/keypad_view.h"
#include "host/main_window.h"
#include "host/shell.h"
#include "host/status_line.h"
#include "machine/calculator.h"
#include "machine/errors.h"
#include "machine/save_state.h"
#include "tests/host/session_fixture.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

namespace fs = std::filesystem;

// Whether the session was written; the reason shows when it was not.
testing::AssertionResult Saved(const Status& saved) {
  if (saved.ok()) return testing::AssertionSuccess();
  return testing::AssertionFailure() << saved.message();
}

class TempFolder {
 public:
  TempFolder() {
    char name[] = "/tmp/pellux-sessions-XXXXXX";
    path_ = mkdtemp(name) ? fs::path(name) : fs::path();
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

struct Start {
  ManualClock clock;
  std::unique_ptr<Shell> shell;
};

// A shell on the image with sessions kept in the folder.
std::unique_ptr<Start> StartShell(const fs::path& rom, const fs::path& sessions, bool fresh = false) {
  auto start = std::make_unique<Start>();
  start->clock.passTicks = 1;
  ShellOptions options;
  options.romPath = rom;
  options.sessionFolder = sessions;
  options.fresh = fresh;
  options.clock = &start->clock;
  options.showError = [](const ErrMsg& error, QWidget*) { ADD_FAILURE() << "start-up error " << error.what(); };
  start->shell = std::make_unique<Shell>(options);
  EXPECT_TRUE(start->shell->Create());
  return start;
}

// The states in the folder (the lock files beside them aside).
std::vector<std::uint8_t> BytesOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<fs::path> FilesIn(const fs::path& folder) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() != ".lock") files.push_back(entry.path().filename());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The file of a session saved after one pass: the folder's only file.
fs::path SaveOneSession(const fs::path& rom, const fs::path& sessions) {
  auto shell = StartShell(rom, sessions);
  shell->shell->Pass();
  EXPECT_TRUE(Saved(shell->shell->SaveSession()));
  const std::vector<fs::path> saved = FilesIn(sessions);
  EXPECT_EQ(saved.size(), 1u);
  return saved.size() == 1 ? sessions / saved[0] : fs::path();
}

TEST(Session, TheMachineComesBackAsItWasClosed) {
  TempFolder sessions;
  const test::TempFile rom(test::NopRom().bytes());
  Calculator closed(std::vector<std::uint8_t>{});
  {
    auto first = StartShell(rom.path(), sessions.path());
    for (int pass = 0; pass < 50; ++pass) first->shell->Pass();
    first->shell->calculator()->ram[0x1234] = 0x5A;  // a "variable" of the user's
    closed = *first->shell->calculator();
    EXPECT_TRUE(Saved(first->shell->SaveSession()));
  }
  {
    // One window at a time keeps an image's session.
    auto second = StartShell(rom.path(), sessions.path());
    const Calculator& resumed = *second->shell->calculator();
    EXPECT_EQ(resumed.ram, closed.ram);
    EXPECT_EQ(resumed.cpu.pc, closed.cpu.pc);
    EXPECT_EQ(resumed.tickCount, closed.tickCount);
    EXPECT_TRUE(second->shell->startNotes().empty());
  }

  // --fresh boots the image, whatever was saved.
  auto fresh = StartShell(rom.path(), sessions.path(), true);
  EXPECT_EQ(fresh->shell->calculator()->ram[0x1234], 0);
  EXPECT_EQ(fresh->shell->calculator()->tickCount, 0u);

  // Another image does not take this one's session.
  const test::TempFile other(test::NopRom(0x3E000).bytes());
  auto elsewhere = StartShell(other.path(), sessions.path());
  EXPECT_EQ(elsewhere->shell->calculator()->ram[0x1234], 0);
}

TEST(Session, AnUnreadableSessionIsSetAsideAndReported) {
  TempFolder sessions;
  const test::TempFile rom(test::NopRom().bytes());
  const fs::path state = SaveOneSession(rom.path(), sessions.path());
  ASSERT_FALSE(state.empty());
  const std::vector<fs::path> saved = FilesIn(sessions.path());
  fs::resize_file(state, fs::file_size(state) / 2);  // cut off, as by a crash of the disk

  auto second = StartShell(rom.path(), sessions.path());
  ASSERT_EQ(second->shell->startNotes().size(), 1u);
  EXPECT_NE(second->shell->startNotes()[0].find("could not be read"), std::string::npos)
      << second->shell->startNotes()[0];
  EXPECT_EQ(second->shell->calculator()->tickCount, 0u) << "a cold boot";
  const std::vector<fs::path> after = FilesIn(sessions.path());
  ASSERT_EQ(after.size(), 1u) << "the broken file is kept, under another name";
  EXPECT_NE(after[0], saved[0]);
  EXPECT_TRUE(after[0].string().starts_with(saved[0].string() + ".unreadable-")) << after[0];
}

// Two images, each with a "variable" of the user's in RAM.
struct TwoImages {
  TwoImages() : a(test::NopRom().bytes()), b(test::NopRom(0x3E000).bytes()), romA(a), romB(b) {}
  std::vector<std::uint8_t> a, b;
  test::TempFile romA, romB;
};

constexpr std::uint32_t kVariable = 0x1234;

TEST(Session, OpenRomResumesTheImagesSessionAndKeepsTheOneLeft) {
  TempFolder sessions;
  TwoImages images;
  auto w = test::OpenSessionWindow(images.romA.path(), sessions.path());
  ASSERT_TRUE(w->created);
  w->Passes(50);
  w->calc().ram[kVariable] = 0xA1;

  // To B: a cold boot, as B has no session yet; A's is saved on the way.
  w->openAnswer = QString::fromStdString(images.romB.path().string());
  w->shell->window()->menus().openRom->trigger();
  EXPECT_EQ(w->calc().ram[kVariable], 0) << "B boots afresh";
  EXPECT_EQ(w->calc().rom[0], images.b[0]);
  ASSERT_NE(test::LoadSaved(test::SessionFile(sessions.path(), images.a), images.a), nullptr);
  EXPECT_EQ(test::LoadSaved(test::SessionFile(sessions.path(), images.a), images.a)->ram[kVariable], 0xA1);
  w->Passes(30);
  w->calc().ram[kVariable] = 0xB2;
  const std::uint64_t ranOnB = w->calc().cpu.instructionCount;

  // Back to A: where it was left, and B's session is kept for next time.
  w->openAnswer = QString::fromStdString(images.romA.path().string());
  w->shell->window()->menus().openRom->trigger();
  EXPECT_EQ(w->calc().ram[kVariable], 0xA1);
  EXPECT_GT(w->calc().cpu.instructionCount, 0u) << "resumed, not booted";
  EXPECT_TRUE(w->shell->window()->statusLine().currentMessage().startsWith("Resumed "))
      << w->shell->window()->statusLine().currentMessage().toStdString();
  const auto savedB = test::LoadSaved(test::SessionFile(sessions.path(), images.b), images.b);
  ASSERT_NE(savedB, nullptr);
  EXPECT_EQ(savedB->ram[kVariable], 0xB2);
  EXPECT_EQ(savedB->cpu.instructionCount, ranOnB);

  // The cold boot stays at hand, and its machine is the session from then on.
  w->Passes(10);
  w->shell->window()->menus().openRomCold->trigger();
  EXPECT_EQ(w->calc().ram[kVariable], 0);
  EXPECT_EQ(w->calc().cpu.instructionCount, 0u);
  w->Passes(10);
  EXPECT_EQ(w->Close(), 0);
  const auto savedA = test::LoadSaved(test::SessionFile(sessions.path(), images.a), images.a);
  ASSERT_NE(savedA, nullptr);
  EXPECT_EQ(savedA->ram[kVariable], 0);
  EXPECT_TRUE(w->unsaved.empty()) << "every session was saved: nothing to ask";
  EXPECT_TRUE(test::TemporariesIn(sessions.path()).empty());
}

TEST(Session, ASecondWindowOnTheSameImageRunsOnACopyOrNotAtAll) {
  TempFolder sessions;
  TwoImages images;
  auto first = test::OpenSessionWindow(images.romA.path(), sessions.path());
  ASSERT_TRUE(first->created);
  first->Passes(20);
  first->calc().ram[kVariable] = 0x11;
  ASSERT_TRUE(Saved(first->shell->SaveSession()));

  // Refused: nothing starts, and the question said whose session it is.
  testing::internal::CaptureStderr();
  auto refused = test::OpenSessionWindow(images.romA.path(), sessions.path());
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(refused->created);
  ASSERT_EQ(refused->copyQuestions.size(), 1);
  const QString question = refused->copyQuestions[0];
  EXPECT_TRUE(question.contains(QString::fromStdString(images.romA.path().filename().string())))
      << question.toStdString();
  EXPECT_TRUE(question.contains(QStringLiteral("another Pellux window (process %1)").arg(getpid())))
      << question.toStdString();
  EXPECT_NE(said.find("open in another Pellux window"), std::string::npos) << said;

  // On a copy: the first window's session as it was saved, never written.
  auto copy = test::OpenSessionWindow(images.romA.path(), sessions.path(), [&](ShellOptions& options) {
    options.sessionSaveInterval = std::chrono::milliseconds(10);
    options.askRunOnCopy = [](const QString&) { return true; };
  });
  ASSERT_TRUE(copy->created);
  EXPECT_EQ(copy->calc().ram[kVariable], 0x11);
  copy->calc().ram[kVariable] = 0x22;
  copy->Passes(100);  // ten intervals
  copy->shell->sessions()->WaitForSave();
  EXPECT_EQ(test::LoadSaved(test::SessionFile(sessions.path(), images.a), images.a)->ram[kVariable], 0x11);
  testing::internal::CaptureStderr();
  EXPECT_EQ(copy->Close(), 0);
  testing::internal::GetCapturedStderr();
  ASSERT_EQ(copy->unsaved.size(), 1u) << "closing, the copy offers to save its state elsewhere";
  EXPECT_TRUE(copy->unsaved[0].text.contains("not saved as the session"))
      << copy->unsaved[0].text.toStdString();
  EXPECT_EQ(test::LoadSaved(test::SessionFile(sessions.path(), images.a), images.a)->ram[kVariable], 0x11);

  // The first window still keeps the session; once it is gone, so is its lock.
  first->calc().ram[kVariable] = 0x33;
  EXPECT_EQ(first->Close(), 0);
  first.reset();
  auto next = test::OpenSessionWindow(images.romA.path(), sessions.path());
  ASSERT_TRUE(next->created);
  EXPECT_TRUE(next->copyQuestions.isEmpty());
  EXPECT_EQ(next->calc().ram[kVariable], 0x33);
}

// A session saved by a newer Pellux is not damaged: it stays where it is,
// byte for byte, while this one runs afresh and leaves it alone at the end.
TEST(Session, ANewerPelluxsSessionIsLeftInPlace) {
  TempFolder sessions;
  const test::TempFile rom(test::NopRom().bytes());
  const fs::path state = SaveOneSession(rom.path(), sessions.path());
  ASSERT_FALSE(state.empty());
  const std::vector<fs::path> saved = FilesIn(sessions.path());
  std::vector<std::uint8_t> newer = BytesOf(state);
  newer.at(8) = 99;  // the format version
  SealState(newer);
  WriteBytes(state, newer);

  auto second = StartShell(rom.path(), sessions.path());
  ASSERT_EQ(second->shell->startNotes().size(), 1u);
  const std::string& note = second->shell->startNotes()[0];
  EXPECT_NE(note.find("made by a newer version of Pellux"), std::string::npos) << note;
  EXPECT_NE(note.find("kept as it is"), std::string::npos) << note;
  EXPECT_EQ(second->shell->calculator()->tickCount, 0u) << "a cold boot";
  for (int pass = 0; pass < 20; ++pass) second->shell->Pass();
  EXPECT_TRUE(Saved(second->shell->SaveSession()));
  EXPECT_EQ(FilesIn(sessions.path()), saved);
  EXPECT_EQ(BytesOf(state), newer);
}

TEST(Session, ASessionClosedDuringALinkTransferResumesWithANote) {
  TempFolder sessions;
  const test::TempFile rom(test::NopRom().bytes());
  {
    auto first = StartShell(rom.path(), sessions.path());
    first->shell->Pass();
    first->shell->calculator()->link.rxFull = true;  // a byte received, not yet read
    ASSERT_TRUE(Saved(first->shell->SaveSession()));
  }
  auto second = StartShell(rom.path(), sessions.path());
  EXPECT_TRUE(second->shell->calculator()->link.rxFull);
  EXPECT_EQ(second->shell->startNotes(),
            std::vector<std::string>{
                "The state was saved during a link transfer; it resumes with the link cable unplugged."});
}

// Quit's Ctrl is the calculator's diamond: held while the window closes, it
// must not come back held at the next start.
TEST(Session, QuittingWithCtrlQLeavesNoKeyHeldInTheSession) {
  constexpr unsigned kDiamond = 1;
  TempFolder sessions;
  const test::TempFile rom(test::NopRom().bytes());
  {
    auto first = StartShell(rom.path(), sessions.path());
    MainWindow& w = *first->shell->window();
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QTest::keyPress(&w, Qt::Key_Control);
    for (int pass = 0; pass < 5; ++pass) first->shell->Pass();
    ASSERT_TRUE(w.keypad().isDown(kDiamond)) << "Ctrl holds diamond";
    // Q goes down with Ctrl still held; the window is gone before either is released.
    QTest::keyPress(&w, Qt::Key_Q, Qt::ControlModifier);
    ASSERT_TRUE(w.CloseRequested());
    EXPECT_EQ(first->shell->Run(), 0);
  }
  auto second = StartShell(rom.path(), sessions.path());
  const Calculator& resumed = *second->shell->calculator();
  EXPECT_TRUE(std::all_of(resumed.keyMatrix.begin(), resumed.keyMatrix.end(), [](std::uint8_t row) {
    return row == 0xFF;
  })) << "every key of the matrix up";
  EXPECT_EQ(resumed.anyKeyDown, 0u);
  EXPECT_FALSE(second->shell->window()->keypad().isDown(kDiamond));
}

}  // namespace
}  // namespace pellux
