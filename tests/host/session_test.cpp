// The session that survives closing the window: saved on close, resumed at
// the next start with the same image, and a broken one set aside.
#include <gtest/gtest.h>

#include <QWidget>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "host/shell.h"
#include "machine/calculator.h"
#include "machine/errors.h"
#include "machine/save_state.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

namespace fs = std::filesystem;

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
  options.showError = [](const ErrMsg& error, QWidget*) { ADD_FAILURE() << "start-up error " << error.textId; };
  start->shell = std::make_unique<Shell>(options);
  EXPECT_TRUE(start->shell->Create());
  return start;
}

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
  for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path().filename());
  std::sort(files.begin(), files.end());
  return files;
}

// The file of a session saved after one pass: the folder's only file.
fs::path SaveOneSession(const fs::path& rom, const fs::path& sessions) {
  auto shell = StartShell(rom, sessions);
  shell->shell->Pass();
  EXPECT_EQ(shell->shell->SaveSession(), "");
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
    EXPECT_EQ(first->shell->SaveSession(), "");
  }
  auto second = StartShell(rom.path(), sessions.path());
  const Calculator& resumed = *second->shell->calculator();
  EXPECT_EQ(resumed.ram, closed.ram);
  EXPECT_EQ(resumed.cpu.pc, closed.cpu.pc);
  EXPECT_EQ(resumed.tickCount, closed.tickCount);
  EXPECT_TRUE(second->shell->startNotes().empty());

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
  EXPECT_EQ(second->shell->SaveSession(), "");
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
    ASSERT_EQ(first->shell->SaveSession(), "");
  }
  auto second = StartShell(rom.path(), sessions.path());
  EXPECT_TRUE(second->shell->calculator()->link.rxFull);
  EXPECT_EQ(second->shell->startNotes(),
            std::vector<std::string>{
                "The state was saved during a link transfer; it resumes with the link cable unplugged."});
}

}  // namespace
}  // namespace pellux
