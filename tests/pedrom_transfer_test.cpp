// PedroM end to end with the computer's side of the link on the machine's
// cable: a program made by ld-tigcc is sent, listed, run, and refused once
// archived; PedroM's own "sendcalc" sends it back and it is saved as the
// same file; a screen dump is the LCD as PedroM sent it.
//
// PedroM's "sendcalc" always names type 0x21 (an assembly program) in its
// VAR header, whatever the variable is. The program here is one, so its
// file comes back byte for byte; any other variable would come back with
// its data intact but typed 0x21, as a .9xz: equal data, not an equal file.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/computer_link_peer.h"
#include "link/transfer_files.h"
#include "tests/link_files.h"
#include "tests/pedrom_support.h"
#include "tests/test_support.h"
#include "tests/value_or_empty.h"
#include "tools/headless_session.h"
#include "tools/key_script.h"

namespace pellux {
namespace {

using test::HasRow;
using test::Joined;

class PedromTransfer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string missing = test::PedromMissing(); !missing.empty()) GTEST_SKIP() << missing;
    session_ = test::ValueOrEmpty(OpenHeadlessSession(test::PedromRom(), Pacing::Manual));
    ASSERT_TRUE(session_);
    session_->driver().Plug(&peer_);
    Run(3.0);
    font_ = test::FindPedromFont(m());
    ASSERT_FALSE(font_.empty()) << "no banner in PedroM's font on the screen";
    const VariablesFromFiles read = ReadVariablesFromFiles(std::span(&program_, 1));
    ASSERT_TRUE(read.ok()) << read.message();
    ASSERT_EQ(read->size(), 1u);
    lcdfill_ = (*read)[0];
  }

  Calculator& m() { return session_->calculator(); }
  ComputerLink& link() { return peer_.link(); }
  std::vector<std::string> Screen() { return test::ScreenText(m(), font_); }

  // The machine's loop for the given emulated seconds; the link's events
  // are kept.
  void Run(double seconds) {
    const std::int64_t until = session_->Now() + static_cast<std::int64_t>(seconds * kTicksPerSecond);
    while (session_->Now() < until) Pass();
  }
  void Pass() {
    session_->Pass();
    for (LinkEvent& event : link().TakeEvents()) events_.push_back(std::move(event));
  }

  // Runs until an event the test waits for, within emulated seconds; null
  // when none came.
  const LinkEvent* RunUntil(const std::function<bool(const LinkEvent&)>& wanted, double seconds) {
    const std::int64_t until = session_->Now() + static_cast<std::int64_t>(seconds * kTicksPerSecond);
    std::size_t seen = 0;
    while (session_->Now() < until) {
      for (; seen < events_.size(); ++seen) {
        if (wanted(events_[seen])) return &events_[seen];
      }
      Pass();
    }
    return nullptr;
  }
  const LinkEvent* RunUntilJobEnds(std::uint64_t job, double seconds) {
    return RunUntil(
        [job](const LinkEvent& e) {
          return e.job == job && (e.kind == LinkEventKind::Finished || e.kind == LinkEventKind::Failed);
        },
        seconds);
  }

  // Types a line at PedroM's prompt and runs until a little after it is in.
  void TypeAndRun(std::string_view line, double settle) {
    const std::int64_t last = test::TypeLine(*session_, line);
    Run(static_cast<double>(last - session_->Now()) / kTicksPerSecond + settle);
  }

  // Sends the program and waits for the end of the job.
  void SendProgram() {
    const std::uint64_t job = link().SendVariables({lcdfill_});
    const LinkEvent* end = RunUntilJobEnds(job, 10.0);
    ASSERT_NE(end, nullptr) << "no end to the transfer in 10 s";
    ASSERT_EQ(end->message, "Sent main\\lcdfill to the calculator.");
  }

  ComputerLinkPeer peer_;
  std::unique_ptr<HeadlessSession> session_;
  test::PedromFont font_;
  std::vector<LinkEvent> events_;
  const std::filesystem::path program_ = test::LinkDataDir() / "lcdfill.9xz";
  Variable lcdfill_;
};

TEST_F(PedromTransfer, ProgramSentIsListedAndRuns) {
  SendProgram();
  TypeAndRun("ls", 0.5);
  std::vector<std::string> rows = Screen();
  EXPECT_TRUE(HasRow(rows, "  lcdfill")) << Joined(rows);
  EXPECT_TRUE(HasRow(rows, " 1 file(s)")) << Joined(rows);

  // The program paints 16 bands of 8 rows, black first; the shell then
  // writes its next prompt over one band.
  TypeAndRun("lcdfill", 1.0);
  rows = Screen();
  // The prompt, the cursor perhaps blinking beside it.
  const auto prompt = std::find_if(rows.begin(), rows.end(),
                                   [](const std::string& row) { return row == ":>" || row == ":>?"; });
  ASSERT_NE(prompt, rows.end()) << "the prompt after the program\n" << Joined(rows);
  const int promptBand = static_cast<int>(prompt - rows.begin());
  const auto frame = m().LcdFrame();
  for (int band = 0; band < 16; ++band) {
    if (band == promptBand) continue;
    const std::uint8_t paint = band % 2 == 0 ? 0xFF : 0x00;
    const bool painted = std::all_of(frame.begin() + band * 240, frame.begin() + band * 240 + 240,
                                     [paint](std::uint8_t byte) { return byte == paint; });
    EXPECT_TRUE(painted) << "band " << band;
  }
}

// A program reads the keyboard through the OS: it waits in PedroM's
// ngetchx until a key is pressed, and writes what it got.
TEST_F(PedromTransfer, ProgramWaitsForAKeyAndGetsIt) {
  const std::filesystem::path file = test::LinkDataDir() / "keyecho.9xz";
  const VariablesFromFiles read = ReadVariablesFromFiles(std::span(&file, 1));
  ASSERT_TRUE(read.ok()) << read.message();
  const LinkEvent* end = RunUntilJobEnds(link().SendVariables(*read), 10.0);
  ASSERT_NE(end, nullptr);
  ASSERT_EQ(end->kind, LinkEventKind::Finished) << end->message;

  TypeAndRun("keyecho", 1.0);
  std::vector<std::string> rows = Screen();
  EXPECT_EQ(rows[0], "Press a key") << Joined(rows);
  EXPECT_EQ(rows[2], "") << "nothing yet\n" << Joined(rows);
  const auto key = ParseKeyScript("0 tap Q\n");
  ASSERT_TRUE(key.ok()) << key.message();
  std::vector<KeyEvent> events = key->events;
  for (KeyEvent& event : events) event.tick += session_->Now();
  session_->ScheduleKeys(events);
  Run(1.0);
  rows = Screen();
  EXPECT_EQ(rows[0], "Press a key") << Joined(rows);
  EXPECT_EQ(rows[2], "q") << Joined(rows);
}

TEST_F(PedromTransfer, ArchivedNameIsRefused) {
  SendProgram();
  TypeAndRun("arc lcdfill", 1.0);
  const std::uint64_t job = link().SendVariables({lcdfill_});
  const LinkEvent* end = RunUntilJobEnds(job, 10.0);
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(end->kind, LinkEventKind::Failed);
  EXPECT_EQ(end->message,
            "The calculator refused main\\lcdfill: a variable of that name is locked, archived or in use.");
  EXPECT_FALSE(link().Busy());
}

TEST_F(PedromTransfer, SendcalcComesBackAsTheOriginalFile) {
  SendProgram();
  TypeAndRun("sendcalc lcdfill", 0.1);
  const LinkEvent* received =
      RunUntil([](const LinkEvent& e) { return e.kind == LinkEventKind::VariableReceived; }, 10.0);
  ASSERT_NE(received, nullptr) << "nothing came from sendcalc";
  EXPECT_EQ(received->message, "Received main\\lcdfill from the calculator.");
  EXPECT_EQ(received->variable.type, 0x21);
  Run(1.0);
  const std::vector<std::string> rows = Screen();
  EXPECT_EQ(test::RowAfter(rows, ":>sendcalc lcdfill"), ":>") << "no error box\n" << Joined(rows);

  test::TempDir folder;
  const SavedVariable saved = SaveReceivedVariable(folder.path(), received->variable);
  ASSERT_TRUE(saved.ok()) << saved.message();
  EXPECT_EQ(saved->filename(), "lcdfill.9xz");
  EXPECT_EQ(test::ReadWholeFile(*saved), test::ReadWholeFile(program_));
  EXPECT_FALSE(link().Busy());
}

TEST_F(PedromTransfer, ScreenDumpIsTheLcdAsSent) {
  const std::uint64_t job = link().RequestScreen();
  // PedroM sends its LCD memory while its status line shows its link
  // message, and erases the message once the data are on their way: the
  // dump is the LCD as it stood when the data began to come.
  std::optional<std::array<std::uint8_t, kLcdFrameBytes>> whileSending;
  const std::int64_t until = session_->Now() + 2 * kTicksPerSecond;
  const LinkEvent* screen = nullptr;
  while (!screen && session_->Now() < until) {
    Pass();
    if (!whileSending && link().Progress().done > 0) whileSending = m().LcdFrame();
    for (const LinkEvent& event : events_) {
      if (event.kind == LinkEventKind::ScreenReceived) screen = &event;
    }
  }
  ASSERT_NE(screen, nullptr) << "no screen in 2 s";
  ASSERT_TRUE(whileSending);
  EXPECT_EQ(screen->job, job);
  EXPECT_EQ(screen->screen, *whileSending);
  const std::vector<std::string> rows = test::ScreenText(screen->screen, font_);
  EXPECT_EQ(rows[0].substr(0, test::kPedromBanner.size()), test::kPedromBanner) << Joined(rows);
  const LinkEvent* end = RunUntilJobEnds(job, 1.0);
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(end->message, "Took a screen dump.");
}

}  // namespace
}  // namespace pellux
