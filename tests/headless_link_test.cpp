// pellux-headless at either end of a link: variable files sent to PedroM
// and what it sends back saved as files, and two runs joined by a socket.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "io/connection.h"
#include "linkserver/socket_link.h"
#include "tests/headless_tool.h"
#include "tests/link_files.h"
#include "tests/pedrom_support.h"
#include "tests/test_paths.h"
#include "tests/test_support.h"
#include "tests/value_or_empty.h"

namespace pellux {
namespace {

namespace fs = std::filesystem;
using test::HasRow;
using test::Joined;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// --send at once, a send line later, "ls" typed, then PedroM's own
// "sendcalc" sends one back: it is saved in --receive-dir as the very file
// that was sent.
TEST(HeadlessLink, SendsToPedromAndSavesWhatItSendsBack) {
  if (const std::string missing = test::PedromMissing(); !missing.empty()) GTEST_SKIP() << missing;
  test::TempDir dir;
  const fs::path received = dir.path() / "received";
  fs::create_directory(received);
  const fs::path lcdfill = test::LinkDataDir() / "lcdfill.9xz";
  const fs::path tiles = test::LinkDataDir() / "tiles.9xz";
  const fs::path keys =
      dir.Write("pedrom.keys", "4 send " + tiles.string() +
                                   "\n"
                                   "6 type ls\n+0.1 tap ENTER\n"
                                   "+0.5 type sendcalc\n+0.1 tap SPACE\n+0.1 type lcdfill\n+0.1 tap ENTER\n");
  const fs::path screen = dir.path() / "screen.pbm";
  const test::ToolOutcome outcome = test::RunHeadlessTool(
      {test::PedromRom().string(), "--seconds", "9", "--send", lcdfill.string(), "--keys", keys.string(),
       "--receive-dir", received.string(), "--pbm", screen.string()});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.err, "");
  const fs::path saved = received / "lcdfill.9xz";
  EXPECT_TRUE(
      outcome.out.starts_with("Sent main\\lcdfill to the calculator.\n"
                              "Sent main\\tiles to the calculator.\n"
                              "Received main\\lcdfill from the calculator. Saved as '" +
                              saved.string() + "'.\n"))
      << outcome.out;
  EXPECT_EQ(test::ReadWholeFile(saved), test::ReadWholeFile(lcdfill));

  // The screen as written, read with PedroM's font.
  HeadlessSession booted(test::PedromImage(), Pacing::Manual);
  booted.RunUntil(3 * kTicksPerSecond);
  const test::PedromFont font = test::FindPedromFont(booted.calculator());
  ASSERT_FALSE(font.empty()) << "no banner in PedroM's font on the screen";
  const std::vector<std::uint8_t> pbm = test::ReadWholeFile(screen);
  ASSERT_GE(pbm.size(), kLcdFrameBytes);
  std::array<std::uint8_t, kLcdFrameBytes> frame;
  std::copy(pbm.end() - kLcdFrameBytes, pbm.end(), frame.begin());
  const std::vector<std::string> rows = test::ScreenText(frame, font);
  EXPECT_EQ(test::RowAfter(rows, ":>ls"), "Directory of 'main'") << Joined(rows);
  EXPECT_TRUE(HasRow(rows, "  lcdfill     tiles")) << Joined(rows);
  EXPECT_TRUE(HasRow(rows, " 2 file(s)")) << Joined(rows);
  EXPECT_EQ(test::RowAfter(rows, ":>sendcalc lcdfill"), ":>") << "no error box\n" << Joined(rows);
}

// The demo ROM speaks no link protocol: a variable sent to it gets no
// answer and the send fails, while the ROM goes on exactly as it would have
// with nothing sent (it drops the bytes its link interrupt takes).
TEST(HeadlessLink, TheDemoRomLetsASendTimeOutAndRunsOn) {
  if (!test::kDemoRom) GTEST_SKIP() << test::kNoDemoRom;
  test::TempDir dir;
  const fs::path quiet = dir.path() / "quiet.pbm";
  const fs::path sent = dir.path() / "sent.pbm";
  const test::ToolOutcome alone =
      test::RunHeadlessTool({test::kDemoRom, "--seconds", "8", "--pbm", quiet.string()});
  ASSERT_EQ(alone.status, 0) << alone.err;
  const test::ToolOutcome sending =
      test::RunHeadlessTool({test::kDemoRom, "--seconds", "8", "--pbm", sent.string(), "--send",
                             (test::LinkDataDir() / "lcdfill.9xz").string()});
  EXPECT_EQ(sending.status, 3);
  EXPECT_TRUE(Has(sending.err, "No answer from the calculator in 5 seconds (sending main\\lcdfill)"))
      << sending.err;
  EXPECT_TRUE(test::ReadWholeFile(sent) == test::ReadWholeFile(quiet))
      << "the screen differs from the run with nothing sent";
}

// One run listens, the other connects: the listening one waits for it
// before its first instruction, and both say whom they are linked to.
// (Linked runs keep to the real clock, so these are short.)
TEST(HeadlessLink, TwoRunsLinkOverASocket) {
  test::TempDir dir;
  test::RomBuilder image = test::NopRom();
  image.Code(test::RomBuilder::kDefaultPc, {test::asm68k::kStop, 0x2700, test::asm68k::kBraSelf});
  const std::string rom =
      dir.Write("quiet.rom", std::string(image.bytes().begin(), image.bytes().end())).string();
  std::uint16_t free = 0;
  {
    const std::unique_ptr<net::Listener> probe = test::ValueOrEmpty(net::Listener::Open({"127.0.0.1", 0}));
    ASSERT_TRUE(probe);
    free = probe->port();
  }
  const std::string port = std::to_string(free);
  test::ToolOutcome listening;
  std::thread first([&] {
    listening = test::RunHeadlessTool({rom, "--seconds", "0.2", "--link-listen", port});
  });
  // Started at the same time: the connecting run tries again until the
  // other listens.
  const test::ToolOutcome connecting =
      test::RunHeadlessTool({rom, "--seconds", "0.2", "--link-connect", port});
  if (connecting.status != 0) {
    // Let the listening run end all the same.
    std::unique_ptr<SocketLink> rescue = test::ValueOrEmpty(SocketLink::Connect({"127.0.0.1", free}));
    for (int i = 0; rescue && i < 100 && rescue->state() != SocketLink::State::Connected; ++i)
      rescue->Poll(50);
    first.join();
    FAIL() << "the connecting run failed: " << connecting.err;
  }
  first.join();
  EXPECT_EQ(listening.status, 0) << listening.err;
  EXPECT_TRUE(
      listening.err.starts_with("pellux-headless: waiting for another Pellux to link on 127.0.0.1:" + port +
                                " (--link-connect)\n"
                                "pellux-headless: linked to the Pellux at 127.0.0.1:"))
      << listening.err;
  EXPECT_TRUE(Has(connecting.err, "pellux-headless: linked to the Pellux at 127.0.0.1:" + port + "\n"))
      << connecting.err;
  for (const test::ToolOutcome* run : {&std::as_const(listening), &connecting}) {
    EXPECT_TRUE(Has(run->out, ": 0.2")) << "a run as long as asked: " << run->out;
  }
}

}  // namespace
}  // namespace pellux
