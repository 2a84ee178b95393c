// PedroM, a real operating system for the calculator written against the
// real link hardware, on two machines joined by a cable: a variable made on
// one is sent with PedroM's own "sendcalc" and listed by "ls" on the other.
// Every test runs on both cables: the in-process one, and a real loopback
// socket between two SocketLinks (one listening, one connecting), as two
// Pellux programs would be joined.
//
// PedroM is looked for beside the project, and its screen read, as
// tests/pedrom_support.h says.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "link/link_cable.h"
#include "linkserver/socket_link.h"
#include "machine/memory_bus.h"
#include "tests/pedrom_support.h"
#include "tests/value_or_empty.h"
#include "tools/headless_session.h"
#include "tools/key_script.h"

namespace pellux {
namespace {

using test::FindPedromFont;
using test::HasRow;
using test::Joined;
using test::PedromFont;
using test::RowAfter;
using test::ScreenText;

enum class Cable { InProcess, Socket };

class PedromLink : public ::testing::TestWithParam<Cable> {
 protected:
  void SetUp() override {
    if (const std::string missing = test::PedromMissing(); !missing.empty()) GTEST_SKIP() << missing;
    a_ = test::ValueOrEmpty(OpenHeadlessSession(test::PedromRom(), Pacing::Manual));
    b_ = test::ValueOrEmpty(OpenHeadlessSession(test::PedromRom(), Pacing::Manual));
    ASSERT_TRUE(a_ && b_);
    if (GetParam() == Cable::InProcess) {
      a_->driver().Plug(&cable_.end(0));
      b_->driver().Plug(&cable_.end(1));
      return;
    }
    listening_ = test::ValueOrEmpty(SocketLink::Listen({"127.0.0.1", 0}));
    ASSERT_TRUE(listening_);
    connecting_ = test::ValueOrEmpty(SocketLink::Connect({"127.0.0.1", listening_->ListeningPort()}));
    ASSERT_TRUE(connecting_);
    a_->driver().Plug(listening_.get());
    b_->driver().Plug(connecting_.get());
    // Linked while they boot.
    for (int i = 0; i < 1000 && connecting_->state() != SocketLink::State::Connected; ++i) {
      listening_->Poll(1);
      connecting_->Poll(1);
    }
    ASSERT_EQ(connecting_->state(), SocketLink::State::Connected);
  }

  void TearDown() override {
    if (GetParam() == Cable::Socket && listening_) {
      // Nothing went wrong on the way: only their greetings were told.
      for (SocketLink* link : {listening_.get(), connecting_.get()}) {
        for (const std::string& message : link->TakeMessages()) {
          EXPECT_EQ(message.substr(0, 23), "linked to the Pellux at") << message;
        }
      }
    }
  }

  // Both machines on, pass for pass, for the given emulated seconds.
  void Run(double seconds) {
    const std::int64_t until = a_->Now() + static_cast<std::int64_t>(seconds * kTicksPerSecond);
    while (a_->Now() < until) {
      a_->Pass();
      b_->Pass();
    }
  }

  // Types a line on a machine and runs both until a little after it is in.
  void TypeAndRun(HeadlessSession& session, std::string_view line, double settle) {
    const std::int64_t done = test::TypeLine(session, line);
    Run(static_cast<double>(done - a_->Now()) / kTicksPerSecond + settle);
  }

  std::unique_ptr<HeadlessSession> a_, b_;
  LinkCable cable_;
  std::unique_ptr<SocketLink> listening_, connecting_;
};

TEST_P(PedromLink, BootsWithTheLinkChipInPlace) {
  Run(3.0);
  for (HeadlessSession* session : {a_.get(), b_.get()}) {
    Calculator& m = session->calculator();
    const PedromFont font = FindPedromFont(m);
    ASSERT_FALSE(font.empty()) << "no banner in PedroM's font on the screen";
    const std::vector<std::string> rows = ScreenText(m, font);
    EXPECT_EQ(rows[0].substr(0, test::kPedromBanner.size()), test::kPedromBanner) << Joined(rows);
    EXPECT_EQ(rows[3].substr(0, 2), ":>") << "its prompt (the cursor may blink beside it)\n" << Joined(rows);
    // Its link driver set the port up: interrupts on a byte received, on
    // activity and on errors, engine and time-outs on.
    EXPECT_EQ(PeekByte(m, 0x60000C), 0x8D);
    EXPECT_EQ(PeekByte(m, 0x60000D), 0x40);
    EXPECT_EQ(session->driver().mode(), Driver::Mode::Asleep) << "asleep at its prompt";
  }
}

TEST_P(PedromLink, SendcalcCarriesAVariableToTheOtherMachine) {
  Run(3.0);
  const PedromFont font = FindPedromFont(a_->calculator());
  ASSERT_FALSE(font.empty()) << "no banner in PedroM's font on the screen";
  Calculator& a = a_->calculator();
  Calculator& b = b_->calculator();

  TypeAndRun(*a_, "echo pelluxlink >lnkvar", 0.5);
  TypeAndRun(*b_, "ls", 0.5);
  EXPECT_TRUE(HasRow(ScreenText(b, font), " 0 file(s)")) << "not on B yet\n" << Joined(ScreenText(b, font));

  TypeAndRun(*a_, "sendcalc lnkvar", 3.0);
  // Done, and no error box: the command's line, then the next prompt.
  const std::vector<std::string> rowsA = ScreenText(a, font);
  EXPECT_EQ(RowAfter(rowsA, ":>sendcalc lnkvar"), ":>") << Joined(rowsA);

  TypeAndRun(*b_, "ls", 0.5);
  TypeAndRun(*b_, "cat lnkvar", 0.5);
  const std::vector<std::string> rowsB = ScreenText(b, font);
  EXPECT_EQ(RowAfter(rowsB, ":>cat lnkvar"), "pelluxlink") << Joined(rowsB);
  EXPECT_TRUE(HasRow(rowsB, "   lnkvar")) << Joined(rowsB);
  EXPECT_TRUE(HasRow(rowsB, " 1 file(s)")) << Joined(rowsB);
  EXPECT_FALSE(LinkBusy(a));
  EXPECT_FALSE(LinkBusy(b));
}

// PedroM's help text, about 370 bytes: more than its own link queues (250
// bytes) and the cable's buffer hold, so the bytes wait on each other.
TEST_P(PedromLink, ALongerVariableCrossesToo) {
  Run(3.0);
  const PedromFont font = FindPedromFont(a_->calculator());
  ASSERT_FALSE(font.empty()) << "no banner in PedroM's font on the screen";
  TypeAndRun(*a_, "help >hlp", 1.0);
  TypeAndRun(*a_, "sendcalc hlp", 5.0);
  TypeAndRun(*b_, "more hlp", 1.0);
  const std::vector<std::string> rowsB = ScreenText(b_->calculator(), font);
  EXPECT_EQ(RowAfter(rowsB, ":>more hlp"), "      arc       cat        cd     clean") << Joined(rowsB);
  EXPECT_TRUE(HasRow(rowsB, "       rm  sendcalc      side     unarc")) << Joined(rowsB);
  EXPECT_TRUE(HasRow(rowsB, "    unppg")) << Joined(rowsB);
}

INSTANTIATE_TEST_SUITE_P(Cables, PedromLink, ::testing::Values(Cable::InProcess, Cable::Socket),
                         [](const ::testing::TestParamInfo<Cable>& info) {
                           return info.param == Cable::InProcess ? "InProcess" : "Socket";
                         });

}  // namespace
}  // namespace pellux
