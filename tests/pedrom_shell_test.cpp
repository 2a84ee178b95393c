// PedroM, a real operating system for the calculator, used as a user uses
// it: commands typed at its shell and what they print, a file archived to
// flash by PedroM's own erase and program routines and brought back, kept
// through a saved state and a boot from the flash as it then stands, and
// its text editor. PedroM boots once for the suite; every test runs on a
// copy of the booted machine, under the manual clock.
//
// PedroM is looked for beside the project, and its screen read, as
// tests/pedrom_support.h says.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "machine/memory_bus.h"
#include "machine/save_state.h"
#include "tests/link_files.h"
#include "tests/pedrom_support.h"
#include "tests/test_support.h"
#include "tests/value_or_empty.h"
#include "tools/headless_session.h"
#include "tools/key_script.h"

namespace pellux {
namespace {

using test::Joined;
using test::RowAfter;

class PedromShell : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!test::PedromMissing().empty()) return;
    HeadlessSession boot(test::PedromImage(), Pacing::Manual);
    boot.RunUntil(3 * kTicksPerSecond);
    booted_ = std::make_unique<Calculator>(boot.calculator());
    font_ = test::FindPedromFont(*booted_);
  }
  static void TearDownTestSuite() { booted_.reset(); }

  void SetUp() override {
    if (const std::string missing = test::PedromMissing(); !missing.empty()) GTEST_SKIP() << missing;
    ASSERT_FALSE(font_.empty()) << "no banner in PedroM's font on the screen after 3 s";
    Fresh();
  }
  // A copy of the machine as PedroM booted it.
  void Fresh() { session_ = std::make_unique<HeadlessSession>(Calculator(*booted_), Pacing::Manual); }

  void Run(double seconds) {
    session_->RunUntil(session_->Now() + static_cast<std::int64_t>(seconds * kTicksPerSecond));
  }
  // Types a line at the prompt and runs until a little after it is in.
  void Enter(std::string_view line) {
    session_->RunUntil(test::TypeLine(*session_, line));
    Run(0.6);
  }
  // Key script lines, times relative to now.
  void Keys(std::string_view script) {
    auto keys = ParseKeyScript(script);
    ASSERT_TRUE(keys.ok()) << keys.message();
    std::int64_t last = session_->Now();
    for (KeyEvent& event : keys->events) last = event.tick += session_->Now();
    session_->ScheduleKeys(keys->events);
    session_->RunUntil(last);
    Run(0.6);
  }
  std::vector<std::string> Screen() const { return test::ScreenText(session_->calculator(), font_); }

  // "Flash ROM Free:" as `mem` prints it.
  std::optional<long> FlashFree() {
    Enter("mem");
    const std::vector<std::string> rows = Screen();
    const auto last = std::find(rows.rbegin(), rows.rend(), ":>mem");
    if (last - rows.rbegin() < 3 || !last[-2].starts_with("Flash ROM Free:")) return std::nullopt;
    return std::stol(last[-2].substr(15));
  }

  static std::unique_ptr<Calculator> booted_;
  static test::PedromFont font_;
  std::unique_ptr<HeadlessSession> session_;
};

std::unique_ptr<Calculator> PedromShell::booted_;
test::PedromFont PedromShell::font_;

TEST_F(PedromShell, BootsToItsPromptAndSleeps) {
  const std::vector<std::string> rows = Screen();
  EXPECT_EQ(rows[0].substr(0, test::kPedromBanner.size()), test::kPedromBanner) << Joined(rows);
  EXPECT_EQ(rows[3].substr(0, 2), ":>") << Joined(rows);
  Run(0.5);
  EXPECT_EQ(session_->driver().mode(), Driver::Mode::Asleep) << "asleep at its prompt, waiting for a key";
}

// Each case on a fresh copy of the booted machine: the lines typed, and the
// rows the screen then shows below the last of them.
TEST_F(PedromShell, CommandsPrintWhatTheyShould) {
  struct Case {
    std::vector<std::string_view> lines;
    std::vector<std::string_view> printed;
  } cases[] = {
      {{"mem"}, {"RAM Free:           227522", "Flash ROM Free:     1900544", ":>"}},
      {{"ls"}, {"Directory of 'main'", "", " 0 file(s)", ":>"}},
      {{"2+3"}, {"5.000000000000000"}},
      {{"1/3"}, {".3333333333333300"}},
      {{"7*6-2"}, {"40.00000000000000"}},
      {{"help"}, {"      arc       cat        cd     clean", "    clear        cp      echo      exit"}},
      {{"echo some text"}, {"some text", ":>"}},
      {{"echo abc >one", "echo defgh >two", "ls"},
       {"Directory of 'main'", "      one       two", " 2 file(s)"}},
      {{"mkdir sub", "cd sub", "echo x >inner", "ls"}, {"Directory of 'sub'", "    inner", " 1 file(s)"}},
      {{"cd nowhere"}, {" nowhere:failed", ":>"}},
      {{"echo a >f1", "cp f1 f2", "mv f2 f3", "rm f1", "ls"},
       {"Directory of 'main'", "       f3", " 1 file(s)"}},
      {{"echo a >f1", "arc f1", "rmarc f1", "ls"}, {"Directory of 'main'", "", " 0 file(s)"}},
  };
  for (const Case& c : cases) {
    Fresh();
    for (const std::string_view line : c.lines) Enter(line);
    const std::vector<std::string> rows = Screen();
    const std::string typed = ":>" + std::string(c.lines.back());
    auto at = std::find(rows.begin(), rows.end(), typed);
    ASSERT_NE(at, rows.end()) << typed << "\n" << Joined(rows);
    for (const std::string_view expected : c.printed) {
      ++at;
      ASSERT_NE(at, rows.end()) << typed << ": nothing where \"" << expected << "\" should be\n"
                                << Joined(rows);
      // The cursor may blink beside the next prompt.
      const std::string row = *at == ":>?" ? ":>" : *at;
      EXPECT_EQ(row, expected) << typed << "\n" << Joined(rows);
    }
  }
}

// `arc` moves a file into archive memory with PedroM's own flash routines
// (erase, then program word by word, polling the chip's status); `cat`
// reads it back from the flash.
TEST_F(PedromShell, ArchivedFileLivesInFlash) {
  const std::optional<long> freeBefore = FlashFree();
  ASSERT_TRUE(freeBefore) << Joined(Screen());
  Enter("echo archived words >keep");
  Enter("arc keep");
  Enter("cat keep");
  EXPECT_EQ(RowAfter(Screen(), ":>cat keep"), "archived words") << Joined(Screen());
  const std::optional<long> freeAfter = FlashFree();
  ASSERT_TRUE(freeAfter) << Joined(Screen());
  EXPECT_LT(*freeAfter, *freeBefore) << "the file took archive memory";

  // The flash as it now stands, booted afresh: PedroM finds the file in
  // its archive while it starts.
  HeadlessSession fresh(session_->calculator().rom, Pacing::Manual);
  fresh.RunUntil(3 * kTicksPerSecond);
  session_ = std::make_unique<HeadlessSession>(Calculator(fresh.calculator()), Pacing::Manual);
  Enter("cat keep");
  EXPECT_EQ(RowAfter(Screen(), ":>cat keep"), "archived words") << Joined(Screen());

  // And back to RAM.
  Enter("unarc keep");
  Enter("cat keep");
  EXPECT_EQ(RowAfter(Screen(), ":>cat keep"), "archived words") << Joined(Screen());
}

// `install format` formats the archive with PedroM's own erase routine, every
// 64 KB block of it, and restarts: the archived file is gone and all the
// archive memory is free again.
TEST_F(PedromShell, FormattingTheArchiveErasesIt) {
  const std::optional<long> empty = FlashFree();
  ASSERT_TRUE(empty) << Joined(Screen());
  Enter("echo soon gone >gone");
  Enter("arc gone");
  ASSERT_LT(FlashFree().value_or(*empty), *empty) << Joined(Screen());
  Enter("install format");
  Enter("yes");
  Run(3.0);
  Enter("ls");
  EXPECT_EQ(RowAfter(Screen(), "Directory of 'main'"), "") << Joined(Screen());
  EXPECT_EQ(FlashFree(), empty) << Joined(Screen());
  const std::vector<std::uint8_t>& flash = session_->calculator().rom;
  EXPECT_TRUE(std::all_of(flash.begin() + 0x30000, flash.end(), [](std::uint8_t b) { return b == 0xFF; }))
      << "archive memory erased";
}

// The archived file is in the flash a saved state carries: a session resumed
// from the state, as the window resumes its own, still has it.
TEST_F(PedromShell, ArchivedFileSurvivesASavedState) {
  Enter("echo in the state >kept");
  Enter("arc kept");
  const test::TempDir folder;
  const std::filesystem::path state = folder.path() / "pedrom.state";
  const RomIdentity rom = IdentifyRom(test::ReadWholeFile(test::PedromRom()));
  ASSERT_EQ(session_->SaveStateFile(state, rom).message(), "");

  session_ = test::ValueOrEmpty(OpenHeadlessSession(test::PedromRom(), Pacing::Manual));
  ASSERT_TRUE(session_);
  ASSERT_EQ(session_->LoadStateFile(state, rom).message(), "");
  Run(0.5);
  Enter("cat kept");
  EXPECT_EQ(RowAfter(Screen(), ":>cat kept"), "in the state") << Joined(Screen());
  Enter("unarc kept");
  Enter("cat kept");
  EXPECT_EQ(RowAfter(Screen(), ":>cat kept"), "in the state") << Joined(Screen());
}

// Left without a key, PedroM switches the calculator off (its timers and
// LCD stopped, the processor asleep until ON); ON wakes it where it was.
TEST_F(PedromShell, SwitchesItselfOffAndOnWakesIt) {
  Run(200.0);
  EXPECT_EQ(PeekByte(session_->calculator(), 0x600015), 0) << "timers and LCD off";
  EXPECT_EQ(session_->driver().mode(), Driver::Mode::Asleep);
  Keys("+0.1 tap ON\n");
  Enter("1+1");
  EXPECT_EQ(RowAfter(Screen(), ":>1+1"), "2.000000000000000") << Joined(Screen());
  EXPECT_NE(PeekByte(session_->calculator(), 0x600015), 0) << "on again";
}

// Its editor, "side": two lines typed, saved on leaving (2nd ESC, then
// ENTER to "Save changes?"), and shown by `cat` at the shell.
TEST_F(PedromShell, EditorTakesTypedText) {
  Enter("side note");
  Keys(
      "+0.1 type hello\n+0.1 tap SPACE\n+0.1 type world\n+0.1 tap ENTER\n+0.1 type second\n"
      "+0.2 tap =\n+0.1 tap ESC\n+0.3 tap ENTER\n");
  Enter("cat note");
  const std::vector<std::string> rows = Screen();
  EXPECT_EQ(RowAfter(rows, ":>cat note"), "hello world") << Joined(rows);
  // The file ends without a new line: the next prompt follows its text.
  EXPECT_EQ(RowAfter(rows, "hello world").substr(0, 8), "second:>") << Joined(rows);
}

}  // namespace
}  // namespace pellux
