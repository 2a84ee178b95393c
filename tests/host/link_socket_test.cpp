// Two windows joined by Link > Wait for Another Pellux... and Connect to
// Another Pellux... over a real loopback socket, each on its own manual
// clock, their loops run pass for pass; and what the menu says when there
// is nobody to connect to, an address that is none, a port taken.
#include <gtest/gtest.h>

#include <QAction>
#include <QTemporaryDir>

#include "host/link_control.h"
#include "host/status_line.h"
#include "link/variable_file.h"
#include "linkserver/socket_link.h"
#include "machine/driver.h"
#include "tests/host/link_window_fixture.h"
#include "tests/host/session_fixture.h"
#include "tests/host/test_roms.h"

namespace pellux {
namespace {

using test::BootPedrom;
using test::FileBytes;
using test::kLinkData;
using test::LinkWindow;
using test::PedromImage;
using test::Q;

// Both loops, pass for pass, until done() holds or `seconds` of A's time
// have gone; answers done().
bool RunBoth(LinkWindow& a, LinkWindow& b, const std::function<bool()>& done, double seconds) {
  const double until = a.Seconds() + seconds;
  while (!done()) {
    if (a.Seconds() >= until) return false;
    a.shell().Pass();
    b.shell().Pass();
  }
  return true;
}

bool ComputerHasTheCable(LinkWindow& w) { return w.link().computerPlugged(); }

QString WaitingPort(LinkWindow& w) { return QString::number(w.link().socket()->ListeningPort()); }

TEST(LinkSocketPedrom, TwoWindowsJoinedCarryAVariableAndPartAgain) {
  const auto rom = PedromImage();
  SKIP_WITHOUT_PEDROM(rom);
  auto a = BootPedrom(*rom);
  auto b = BootPedrom(*rom);
  ASSERT_TRUE(a->created && b->created);

  // A has a variable from its computer's side.
  a->sendAnswer = {Q(kLinkData / "hello.9xs")};
  a->menus().sendFiles->trigger();
  ASSERT_TRUE(a->RunUntil([&] { return a->Status() == "Sent main\\hello to the calculator."; }, 5));

  // A waits; nobody is there yet, so the cable stays its computer's.
  a->textAnswer = "0";
  a->menus().linkListen->trigger();
  ASSERT_NE(a->link().socket(), nullptr);
  const QString port = WaitingPort(*a);
  EXPECT_EQ(a->Status(), "Waiting for another Pellux on 127.0.0.1:" + port);
  EXPECT_EQ(a->window().statusLine().LinkText(), "Link: waiting on 127.0.0.1:" + port);
  EXPECT_TRUE(ComputerHasTheCable(*a));
  EXPECT_TRUE(a->menus().linkDisconnect->isEnabled());

  b->textAnswer = "127.0.0.1:" + port;
  b->menus().linkConnect->trigger();
  ASSERT_TRUE(RunBoth(
      *a, *b,
      [&] {
        return a->link().socket()->state() == SocketLink::State::Connected &&
               b->link().socket()->state() == SocketLink::State::Connected;
      },
      2))
      << a->Status().toStdString() << " | " << b->Status().toStdString();
  RunBoth(
      *a, *b, [] { return false; }, 0.01);
  EXPECT_EQ(b->Status(), "Linked to the Pellux at 127.0.0.1:" + port);
  EXPECT_TRUE(a->Status().startsWith("Linked to the Pellux at 127.0.0.1:")) << a->Status().toStdString();
  EXPECT_EQ(b->window().statusLine().LinkText(), "Link: 127.0.0.1:" + port);
  EXPECT_FALSE(ComputerHasTheCable(*a));
  EXPECT_FALSE(ComputerHasTheCable(*b));

  // One cable: files from this computer cannot go while it is joined.
  b->sendAnswer = {Q(kLinkData / "lcdfill.9xz")};
  b->menus().sendFiles->trigger();
  ASSERT_EQ(b->notices.size(), 1);
  EXPECT_EQ(b->notices[0],
            "Nothing was sent to the calculator: the link cable goes to another Pellux (127.0.0.1:" + port +
                "). Link > Disconnect gives it back to this computer.");

  // PedroM's sendcalc on A: the variable crosses to B.
  a->Type("sendcalc hello");
  RunBoth(
      *a, *b, [] { return false; }, 2.0);

  // B leaves: A hears of it, keeps waiting, and has its cable back.
  b->menus().linkDisconnect->trigger();
  EXPECT_EQ(b->Status(), "Disconnected from 127.0.0.1:" + port + "; the cable is this computer's again");
  EXPECT_EQ(b->window().statusLine().LinkText(), "");
  EXPECT_FALSE(b->menus().linkDisconnect->isEnabled());
  ASSERT_TRUE(RunBoth(
      *a, *b, [&] { return ComputerHasTheCable(*a); }, 2));
  EXPECT_TRUE(
      a->Status().endsWith("went away: the cable is unplugged. The link cable is this computer's again"))
      << a->Status().toStdString();
  EXPECT_EQ(a->window().statusLine().LinkText(), "Link: waiting on 127.0.0.1:" + port);

  // B sends it on to its own computer: it is the string A had.
  b->Run(0.5);
  b->Type("sendcalc hello");
  const std::filesystem::path saved = b->dir.path() / "hello.9xz";
  ASSERT_TRUE(b->RunUntil([&] { return std::filesystem::exists(saved); }, 5)) << b->Status().toStdString();
  const VariableFileRead back = ReadVariableFile(FileBytes(saved));
  const VariableFileRead sent = ReadVariableFile(FileBytes(kLinkData / "hello.9xs"));
  ASSERT_TRUE(back.ok() && sent.ok());
  EXPECT_EQ(back->variables[0].data, sent->variables[0].data);
  EXPECT_EQ(back->variables[0].name, "hello");

  a->menus().linkDisconnect->trigger();
  EXPECT_EQ(a->Status(), "No longer waiting on 127.0.0.1:" + port + "; the cable is this computer's again");
  EXPECT_EQ(a->link().socket(), nullptr);
  EXPECT_TRUE(a->notices.isEmpty()) << a->notices.join('\n').toStdString();
}

TEST(LinkSocket, TheMenuSaysWhyThereIsNoCableAndTheComputerKeepsIt) {
  LinkWindow a(test::SleepingRom(false));
  LinkWindow b(test::SleepingRom(false));
  ASSERT_TRUE(a.created && b.created);

  a.textAnswer = "nonsense";
  a.menus().linkListen->trigger();
  ASSERT_EQ(a.notices.size(), 1);
  EXPECT_TRUE(a.notices[0].startsWith("\"nonsense\" is no address: ")) << a.notices[0].toStdString();
  EXPECT_EQ(a.link().socket(), nullptr);

  a.textAnswer = "0";
  a.menus().linkListen->trigger();
  ASSERT_NE(a.link().socket(), nullptr);
  const QString port = WaitingPort(a);

  // The port is taken.
  b.textAnswer = port;
  b.menus().linkListen->trigger();
  ASSERT_EQ(b.notices.size(), 1);
  EXPECT_TRUE(b.notices[0].startsWith("Cannot listen on 127.0.0.1:" + port + ": "))
      << b.notices[0].toStdString();
  EXPECT_EQ(b.link().socket(), nullptr);
  EXPECT_TRUE(ComputerHasTheCable(b));

  // Nobody waits there any more: the connection fails, said in a box.
  a.menus().linkDisconnect->trigger();
  b.textAnswer = "127.0.0.1:" + port;
  b.menus().linkConnect->trigger();
  ASSERT_TRUE(b.RunUntil([&] { return b.link().socket() == nullptr; }, 12)) << b.Status().toStdString();
  ASSERT_EQ(b.notices.size(), 2) << b.notices.join('\n').toStdString();
  EXPECT_TRUE(b.notices[1].startsWith("Cannot connect to 127.0.0.1:" + port + ": "))
      << b.notices[1].toStdString();
  EXPECT_TRUE(ComputerHasTheCable(b));
  EXPECT_EQ(b.window().statusLine().LinkText(), "");
  EXPECT_FALSE(b.menus().linkDisconnect->isEnabled());

  // And the computer's side works as before: files go (and time out here,
  // where the calculator does not answer).
  b.sendAnswer = {Q(kLinkData / "lcdfill.9xz")};
  b.menus().sendFiles->trigger();
  b.Run(0.1);
  EXPECT_TRUE(b.link().computer().Busy());
}

TEST(LinkSocket, TheCommandLineWaitsOrFailsToStart) {
  QTemporaryDir sessions;
  test::TempFile rom(test::SleepingRom(false));
  auto first = test::OpenSessionWindow(rom.path(), sessions.filePath("a").toStdString(), [](ShellOptions& o) {
    o.linkListen = net::Endpoint{"127.0.0.1", 0};
  });
  ASSERT_TRUE(first->created);
  ASSERT_NE((*first)->link()->socket(), nullptr);
  const std::uint16_t port = (*first)->link()->socket()->ListeningPort();
  EXPECT_NE(port, 0);
  // Said before the window first showed, the wait is the one text there.
  const StatusLine& status = (*first)->window()->statusLine();
  EXPECT_TRUE(status.currentMessage().startsWith("Waiting for another Pellux on 127.0.0.1:"))
      << status.currentMessage().toStdString();
  EXPECT_FALSE(status.RomNameShown()) << "the ROM's name is drawn under the message";
  EXPECT_EQ(status.textField().toolTip(), status.currentMessage())
      << "the whole message, however narrow the line";

  // The same port again: the window does not start.
  auto second =
      test::OpenSessionWindow(rom.path(), sessions.filePath("b").toStdString(), [port](ShellOptions& o) {
        o.linkListen = net::Endpoint{"127.0.0.1", port};
      });
  EXPECT_FALSE(second->created);
}

}  // namespace
}  // namespace pellux
