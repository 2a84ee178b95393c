// gdb and the window: one owner of a stopped machine. While gdb is attached
// the Debug dialog only shows gdb's stop, gdb's requests are answered from
// inside the dialog in order, the status line says gdb holds the machine,
// and a port open to other computers is said to be.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <string>
#include <vector>

#include "host/gdb_port.h"
#include "host/main_window.h"
#include "host/status_line.h"
#include "tests/gdb_client.h"
#include "tests/host/dialog_driving.h"
#include "tests/host/shell_fixture.h"

namespace pellux {
namespace {

using test::Button;
using test::Client;
using test::Message;
using test::ModalDriver;
using test::NopRom;
using test::RomBuilder;
using test::ShellFixture;
using test::StopLine;

void PressF11(MainWindow& window) {
  QKeyEvent event(QEvent::KeyPress, Qt::Key_F11, Qt::NoModifier, QString());
  QCoreApplication::sendEvent(&window, &event);
}

// A window with gdb's port on this computer and a debugger attached to it.
struct GdbWindow {
  GdbWindow() : f(NopRom().bytes(), true, net::Endpoint{"127.0.0.1", 0}) {
    if (!f.created) return;
    client = Client::To(f.shell().gdbPort()->listener().port());
  }
  // Runs the main loop until the debugger has n packets.
  void PassUntil(std::size_t n) {
    for (int pass = 0; pass < 2000 && client->packets.size() < n; ++pass) {
      f.shell().Pass();
      client->Read();
    }
  }
  std::string Ask(std::string_view packet) {
    client->packets.clear();
    client->Write(gdb::FramePacket(packet));
    PassUntil(1);
    return client->packets.empty() ? "(no reply)" : client->packets.front();
  }
  QString State() { return f.window().statusLine().StateText(); }

  ShellFixture f;
  std::unique_ptr<Client> client;
};

// F11 while gdb holds the machine, and while gdb lets it run (gdb then
// hears of the stop as of its own Ctrl-C): the dialog shows gdb's stop, runs
// nothing itself, answers gdb's requests in order while it is open, follows
// gdb's step, and closes when gdb lets the machine run.
TEST(GdbWindow, F11ShowsGdbsStopAndGdbIsAnsweredInsideTheDialog) {
  for (const bool running : {false, true}) {
    SCOPED_TRACE(running ? "gdb lets the machine run" : "gdb holds the machine");
    GdbWindow w;
    ASSERT_TRUE(w.f.created);
    Calculator& calc = w.f.calc();
    ASSERT_EQ(w.Ask("?"), "T05thread:1;");
    if (running) {
      w.client->Write(gdb::FramePacket("c"));
      for (int pass = 0; pass < 20; ++pass) w.f.shell().Pass();
      EXPECT_EQ(w.State(), "Running");
    } else {
      w.f.shell().Pass();
      EXPECT_EQ(w.State(), QStringLiteral("Stopped by gdb at %1").arg(calc.cpu.pc, 6, 16, QLatin1Char('0')));
      EXPECT_EQ(w.f.window().windowTitle(), "Pellux - stopped by the debugger");
    }
    std::uint32_t stop = 0;    // where the dialog found the machine
    std::uint32_t stepPc = 0;  // and where gdb's step left it
    std::uint64_t instructions = 0, stepped = 0;
    QString openedWith, afterStep, stateInside;
    bool commandsOff = false, closesOnly = false;
    ModalDriver driver(QStringLiteral("Debug"), [&](QDialog& dialog) {
      stop = calc.cpu.pc;
      instructions = calc.cpu.instructionCount;
      openedWith = StopLine(dialog);
      stateInside = w.State();
      commandsOff = !Button(dialog, "step").isEnabled() && !Button(dialog, "stepOver").isEnabled() &&
                    !Button(dialog, "runToCursor").isEnabled();
      closesOnly = Button(dialog, "go").text() == QStringLiteral("&Close");
      // gdb's requests from inside the dialog's loop, each once the reply
      // to the one before is in (after the SIGINT when F11 stopped it).
      const std::size_t base = running ? 1 : 0;
      auto* script = new QTimer(&dialog);
      auto sent = std::make_shared<std::size_t>(0);
      auto turns = std::make_shared<int>(0);
      QObject::connect(script, &QTimer::timeout, &dialog, [&, script, sent, turns, base] {
        static const char* const kRequests[] = {"g", "s", "c"};
        w.client->Read();
        const std::size_t replies = w.client->packets.size();
        if (*sent == 2 && replies == base + 2 && afterStep.isEmpty()) {
          afterStep = StopLine(dialog);
          stepPc = calc.cpu.pc;
          stepped = calc.cpu.instructionCount - instructions;
        }
        if (*sent < 3 && replies == base + *sent) w.client->Write(gdb::FramePacket(kRequests[(*sent)++]));
        if (++*turns > 5000) {  // the dialog should have closed long ago
          script->stop();
          dialog.reject();
        }
      });
      script->start(1);
    });
    w.client->packets.clear();
    PressF11(w.f.window());
    // A running loop looks at the window's events about once a millisecond.
    for (int pass = 0; pass < 100000 && driver.openings == 0; ++pass) w.f.shell().Pass();
    w.client->Read();
    const std::vector<std::string> replies = w.client->packets;
    ASSERT_EQ(driver.openings, 1);
    EXPECT_EQ(openedWith, QStringLiteral("Stopped by gdb at %1").arg(stop, 6, 16, QLatin1Char('0')));
    EXPECT_EQ(stateInside, openedWith);
    EXPECT_TRUE(commandsOff);
    EXPECT_TRUE(closesOnly);
    ASSERT_EQ(replies.size(), running ? 3u : 2u);
    std::size_t at = 0;
    if (running) {
      EXPECT_EQ(replies[at++], "T02thread:1;");  // F11, as gdb's Ctrl-C
    }
    EXPECT_EQ(replies[at].size(), 18u * 8);  // g: the registers, pc last
    EXPECT_EQ(replies[at++].substr(17 * 8), gdb::HexLong(stop));
    EXPECT_EQ(replies[at++], "T05thread:1;");  // the step
    EXPECT_EQ(stepped, 1u);
    EXPECT_EQ(afterStep, QStringLiteral("Stopped by gdb at %1").arg(stepPc, 6, 16, QLatin1Char('0')));
    // 'c' closed the dialog; the machine runs under gdb again, until its Ctrl-C.
    for (int pass = 0; pass < 20; ++pass) w.f.shell().Pass();
    EXPECT_GT(calc.cpu.instructionCount, instructions + 1000);
    EXPECT_EQ(w.State(), "Running");
    w.client->packets.clear();
    w.client->Write("\x03");
    w.PassUntil(1);
    ASSERT_EQ(w.client->packets.size(), 1u);
    EXPECT_EQ(w.client->packets[0], "T02thread:1;");
  }
}

// One owner at a time, however the dialog and gdb come and go: gdb attaching
// while the dialog has the machine takes it (the dialog only shows it), and
// gdb detaching while the dialog is open gives it back (its commands work).
TEST(GdbWindow, TheOpenDialogGivesGdbTheMachineAndHasItBackOnDetach) {
  ShellFixture f(NopRom().bytes(), true, net::Endpoint{"127.0.0.1", 0});
  ASSERT_TRUE(f.created);
  Calculator& calc = f.calc();
  std::unique_ptr<Client> client;
  std::vector<std::string> seen;  // what the dialog showed, in order
  ModalDriver driver(QStringLiteral("Debug"), [&](QDialog& dialog) {
    const auto look = [&seen, &dialog] {
      seen.push_back((Button(dialog, "step").isEnabled() ? "Step on: " : "Step off: ") +
                     StopLine(dialog).toStdString());
    };
    look();
    client = Client::To(f.shell().gdbPort()->listener().port());
    client->Write(gdb::FramePacket("?"));
    auto* script = new QTimer(&dialog);
    auto turns = std::make_shared<int>(0);
    QObject::connect(script, &QTimer::timeout, &dialog, [&, script, turns, look] {
      client->Read();
      const bool commands = Button(dialog, "step").isEnabled();
      if (client->packets.size() == 1 && !commands && seen.size() == 1) {
        look();
        client->Write(gdb::FramePacket("D"));
      } else if (client->packets.size() == 2 && commands) {
        look();
        const std::uint32_t before = calc.cpu.pc;
        Button(dialog, "step").click();
        seen.push_back(calc.cpu.pc == before + 2 ? "stepped" : "did not step");
        script->stop();
        dialog.reject();
      } else if (++*turns > 5000) {
        script->stop();
        dialog.reject();
      }
    });
    script->start(1);
  });
  PressF11(f.window());
  f.shell().Pass();
  ASSERT_EQ(driver.openings, 1);
  const QString pc = QStringLiteral("%1").arg(calc.cpu.pc - 2, 6, 16, QLatin1Char('0'));
  EXPECT_EQ(seen, (std::vector<std::string>{"Step on: Stopped at " + pc.toStdString(),
                                            "Step off: Stopped by gdb at " + pc.toStdString(),
                                            "Step on: Stopped by gdb at " + pc.toStdString(), "stepped"}));
  EXPECT_EQ(client->packets, (std::vector<std::string>{"T05thread:1;", "OK"}));
}

// Paused from the Emulation menu while gdb lets the machine run, the window
// still answers gdb: its Ctrl-C stops the machine for it.
TEST(GdbWindow, PausedTheWindowStillAnswersGdb) {
  GdbWindow w;
  ASSERT_TRUE(w.f.created);
  ASSERT_EQ(w.Ask("?"), "T05thread:1;");
  w.client->Write(gdb::FramePacket("c"));
  w.f.shell().Pass();
  w.f.shell().SetPaused(true);
  w.client->packets.clear();
  w.client->Write("\x03");
  w.PassUntil(1);
  EXPECT_EQ(w.client->packets, std::vector<std::string>{"T02thread:1;"});
}

// Bound to every address, the port is open to other computers: the window
// says so with the other start-up notes (and standard error too).
TEST(GdbWindow, APortOpenToOtherComputersIsWarnedOf) {
  ShellFixture open(NopRom().bytes(), false, net::Endpoint{"0.0.0.0", 0});
  ASSERT_TRUE(open.created);
  const std::string port = std::to_string(open.shell().gdbPort()->listener().port());
  ASSERT_EQ(open.shell().startNotes().size(), 1u);
  EXPECT_TRUE(open.shell().startNotes()[0].starts_with("Warning: the debugger's port 0.0.0.0:" + port +
                                                       " is open to other computers"))
      << open.shell().startNotes()[0];

  ShellFixture local(NopRom().bytes(), false, net::Endpoint{"127.0.0.1", 0});
  ASSERT_TRUE(local.created);
  EXPECT_TRUE(local.shell().startNotes().empty());
}

}  // namespace
}  // namespace pellux
