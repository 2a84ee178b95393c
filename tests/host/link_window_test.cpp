// The link cable in the window, driven as a user drives it: File > Send to
// Calculator..., files dropped on the window, the Link menu, the calculator's
// keys; what the status line and the boxes then say, and what lands in the
// received files folder. All on the manual clock.
//
// The tests that need a calculator that speaks the link protocol run
// PedroM, a free operating system for it, when its image is beside the
// project (../shared/pedrom/), and skip saying so when it is not.
#include <gtest/gtest.h>

#include <QAction>
#include <QImage>
#include <algorithm>

#include "host/settings_store.h"
#include "link/variable_file.h"
#include "tests/host/link_window_fixture.h"
#include "tests/host/test_roms.h"

namespace pellux {
namespace {

namespace fs = std::filesystem;
using test::BootPedrom;
using test::FileBytes;
using test::kLinkData;
using test::LinkWindow;
using test::PedromImage;
using test::Q;

TEST(LinkWindowPedrom, SentFilesReachTheCalculatorAndWhatItSendsIsSavedInTheFolder) {
  const auto rom = PedromImage();
  SKIP_WITHOUT_PEDROM(rom);
  auto f = BootPedrom(*rom);
  ASSERT_TRUE(f->created);

  f->sendAnswer = {Q(kLinkData / "lcdfill.9xz"), Q(kLinkData / "hello.9xs")};
  f->menus().sendFiles->trigger();
  ASSERT_TRUE(f->RunUntil([&] { return f->Status() == "Sent 2 variables to the calculator."; }, 5))
      << f->Status().toStdString();
  EXPECT_TRUE(f->notices.isEmpty()) << f->notices.join('\n').toStdString();
  f->Run(0.5);

  // The calculator sends one back to a folder that cannot take it: it comes,
  // and the user learns it was not saved.
  const fs::path notAFolder = f->dir.Write("not-a-folder", "x");
  f->link().SetReceivedFolder(notAFolder);
  f->Type("sendcalc hello");
  ASSERT_TRUE(f->RunUntil([&] { return !f->notices.isEmpty(); }, 5)) << f->Status().toStdString();
  EXPECT_TRUE(f->notices[0].startsWith("Received main\\hello from the calculator. It could not be saved: " +
                                       Q(notAFolder)))
      << f->notices[0].toStdString();

  // Into a folder made for it: the variable it was sent, as a file.
  const fs::path folder = f->dir.path() / "received";
  f->link().SetReceivedFolder(folder);
  f->Type("sendcalc hello");
  const fs::path saved = folder / "hello.9xz";
  ASSERT_TRUE(f->RunUntil([&] { return fs::exists(saved); }, 5)) << f->Status().toStdString();
  f->Run(0.01);
  EXPECT_EQ(f->Status(), "Received main\\hello from the calculator. Saved as " + Q(saved));
  const VariableFileRead back = ReadVariableFile(FileBytes(saved));
  const VariableFileRead sent = ReadVariableFile(FileBytes(kLinkData / "hello.9xs"));
  ASSERT_TRUE(back.ok()) << back.message();
  ASSERT_EQ(back->variables.size(), 1u);
  ASSERT_EQ(sent->variables.size(), 1u);
  // PedroM's sendcalc calls everything it sends an assembly program (type
  // 0x21, hence .9xz); the rest is the string that went to it.
  Variable expected = sent->variables[0];
  expected.type = 0x21;
  EXPECT_EQ(back->variables[0], expected);
  EXPECT_EQ(f->notices.size(), 1);
}

TEST(LinkWindowPedrom, ADroppedFileShowsItsProgressAndCancelStopsIt) {
  const auto rom = PedromImage();
  SKIP_WITHOUT_PEDROM(rom);
  auto f = BootPedrom(*rom);
  ASSERT_TRUE(f->created);
  QAction* cancel = f->menus().cancelTransfer;
  EXPECT_FALSE(cancel->isEnabled());

  ASSERT_TRUE(f->Drop({kLinkData / "frames.9xz"}));
  ASSERT_TRUE(f->RunUntil([&] { return f->Status().startsWith("Sending main\\frames: "); }, 2))
      << f->Status().toStdString();
  const QString first = f->Status();
  EXPECT_TRUE(first.endsWith(" KB of 30 KB")) << first.toStdString();
  ASSERT_TRUE(f->RunUntil([&] { return f->Status() != first; }, 1)) << "the figure moves on";
  EXPECT_TRUE(f->Status().startsWith("Sending main\\frames: ")) << f->Status().toStdString();
  EXPECT_TRUE(cancel->isEnabled());

  cancel->trigger();
  EXPECT_EQ(f->Status(), "Cancelled (sending main\\frames).");
  EXPECT_FALSE(cancel->isEnabled());
  EXPECT_TRUE(f->notices.isEmpty()) << "asked for: no box";
  const std::uint64_t ran = f->calc().cpu.instructionCount;
  f->Run(1.0);
  EXPECT_GT(f->calc().cpu.instructionCount, ran) << "the calculator runs on";
  EXPECT_EQ(f->Status(), "Cancelled (sending main\\frames).") << "nothing more to say";

  // PedroM waits for the rest of the variable until its ON key breaks the
  // wait (a "Break" box, which Enter closes); then it takes files again.
  f->Tap(Qt::Key_End);
  f->Tap(Qt::Key_Return);
  f->Run(0.5);
  ASSERT_TRUE(f->Drop({kLinkData / "lcdfill.9xz"}));
  EXPECT_TRUE(f->RunUntil([&] { return f->Status() == "Sent main\\lcdfill to the calculator."; }, 5))
      << f->Status().toStdString();
  EXPECT_TRUE(f->notices.isEmpty()) << f->notices.join('\n').toStdString();
}

TEST(LinkWindowPedrom, GetScreenSavesTheCalculatorsScreenAsAPng) {
  const auto rom = PedromImage();
  SKIP_WITHOUT_PEDROM(rom);
  auto f = BootPedrom(*rom);
  ASSERT_TRUE(f->created);
  f->saveAnswer = Q(f->dir.path() / "screen");
  f->menus().getScreen->trigger();
  const QString png = f->saveAnswer + ".png";
  ASSERT_TRUE(f->RunUntil([&] { return f->Status().startsWith("Screen dump saved to "); }, 15))
      << f->Status().toStdString();
  EXPECT_EQ(f->Status(), "Screen dump saved to " + png);
  const QImage image(png);
  ASSERT_EQ(image.size(), QSize(240, 128));
  // The banner's lines, which stay as they are (the cursor blinks below).
  const auto frame = f->calc().LcdFrame();
  int differ = 0;
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 240; ++x) {
      const bool dark = frame[y * 30 + x / 8] & (0x80 >> (x % 8));
      differ += dark != (qGray(image.pixel(x, y)) < 128);
    }
  }
  EXPECT_EQ(differ, 0);
  EXPECT_TRUE(f->notices.isEmpty()) << f->notices.join('\n').toStdString();
}

TEST(LinkWindow, ACalculatorThatDoesNotAnswerTimesOutAndRunsOn) {
  LinkWindow f(test::SleepingRom(false));
  ASSERT_TRUE(f.created);
  f.Run(0.1);
  f.sendAnswer = {Q(kLinkData / "lcdfill.9xz")};
  f.menus().sendFiles->trigger();
  f.Run(4.5);
  EXPECT_TRUE(f.Status().startsWith("Sending main\\lcdfill: 0 of ")) << "waiting, and saying so";
  EXPECT_TRUE(f.menus().cancelTransfer->isEnabled());
  EXPECT_TRUE(f.notices.isEmpty());

  ASSERT_TRUE(f.RunUntil([&] { return !f.notices.isEmpty(); }, 1.0));
  const QString said = "No answer from the calculator in 5 seconds (sending main\\lcdfill).";
  EXPECT_EQ(f.notices, QStringList{said});
  EXPECT_EQ(f.Status(), said);
  EXPECT_FALSE(f.menus().cancelTransfer->isEnabled());

  const std::uint32_t ticks = f.calc().tickCount;
  f.Run(0.5);
  EXPECT_GT(f.calc().tickCount, ticks) << "the machine runs on";
  const auto frame = f.calc().LcdFrame();
  for (unsigned y = 64; y < 128; y += 9) {
    for (unsigned x = 0; x < 240; x += 7) {
      EXPECT_EQ((frame[y * 30 + x / 8] & (0x80 >> (x % 8))) != 0, test::SleepingRomPixel(x, y, 0xFF));
    }
  }
  EXPECT_EQ(f.notices.size(), 1) << "one box";
}

TEST(LinkWindow, FilesThatAreNotVariablesAreRefusedWithTheReadersWords) {
  LinkWindow f(test::SleepingRom(false));
  ASSERT_TRUE(f.created);
  const fs::path notes = f.dir.Write("notes.9xz", "hello world, in a text file");
  const QString readerSays =
      Q(notes) +
      ": this is not a TI-92 Plus variable file: it begins \"hello wo\" where such files begin \"**TI92P*\"";

  f.sendAnswer = {Q(kLinkData / "lcdfill.9xz"), Q(notes)};
  f.menus().sendFiles->trigger();
  EXPECT_EQ(f.notices, QStringList{"Nothing was sent to the calculator. " + readerSays});
  f.Run(0.1);
  EXPECT_FALSE(f.link().computer().Busy()) << "not even the good file";

  const fs::path app = kLinkData / "sample.9xk";
  ASSERT_TRUE(f.Drop({notes, kLinkData / "lcdfill.9xz", app}));
  f.Run(0.1);
  ASSERT_EQ(f.notices.size(), 2);
  EXPECT_EQ(f.notices[1], "Nothing was opened or sent:\n" + readerSays +
                              "; nor is it a ROM image, an OS or a saved state\n" + Q(app) +
                              ": this file holds a flash application \"sample\" for the TI-92 Plus or Voyage "
                              "200, not an operating system");
  EXPECT_FALSE(f.link().computer().Busy());

  // What is no local file is not taken at all.
  std::unique_ptr<QMimeData> web(new QMimeData);
  web->setUrls({QUrl(QStringLiteral("https://example.com/game.9xz"))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, web.get(), Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&f.window(), &enter);
  EXPECT_FALSE(enter.isAccepted());
}

TEST(LinkWindow, DroppedStatesOsFilesAndRomsOpenAsTheMenusDo) {
  LinkWindow f(test::SleepingRom(false));
  ASSERT_TRUE(f.created);
  f.Run(0.2);
  const fs::path state = f.dir.path() / "here.state";
  ASSERT_TRUE(f.shell().SaveStateTo(state));
  const std::uint64_t saved = f.calc().cpu.instructionCount;
  f.menus().reset->trigger();

  ASSERT_TRUE(f.Drop({state}));
  ASSERT_TRUE(f.RunUntil([&] { return f.Status().startsWith("State loaded"); }, 0.1));
  EXPECT_GE(f.calc().cpu.instructionCount, saved);

  // An OS: the flash of a calculator that holds only it, booted. This one
  // fills the LCD with stripes.
  const auto stripes = [&] {
    const auto frame = f.calc().LcdFrame();
    return std::all_of(frame.begin(), frame.end(), [](std::uint8_t b) { return b == 0xF0; });
  };
  ASSERT_TRUE(f.Drop({kLinkData / "tinyos-9x.tib"}));
  ASSERT_TRUE(f.RunUntil([&] { return f.Status().startsWith("Opened "); }, 0.1));
  EXPECT_EQ(f.Status(), "Opened " + Q(kLinkData / "tinyos-9x.tib"));
  f.Run(0.1);
  EXPECT_TRUE(stripes());
  EXPECT_EQ(f.window().statusLine().RomText(), "tinyos-9x.tib");

  // A ROM image, then the OS again through File > Open ROM...
  const fs::path other = f.dir.path() / "other.rom";
  {
    const auto bytes = test::SleepingRom(true);
    std::ofstream(other, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  ASSERT_TRUE(f.Drop({other}));
  ASSERT_TRUE(f.RunUntil([&] { return f.Status() == "Opened " + Q(other); }, 0.1))
      << f.Status().toStdString();
  f.Run(0.1);
  EXPECT_FALSE(stripes());
  f.openAnswer = Q(kLinkData / "tinyos.9xu");
  f.menus().openRom->trigger();
  EXPECT_EQ(f.Status(), "Opened " + Q(kLinkData / "tinyos.9xu"));
  f.Run(0.1);
  EXPECT_TRUE(stripes());
  EXPECT_TRUE(f.notices.isEmpty()) << f.notices.join('\n').toStdString();

  // Open ROM on a variable file says what to do with it instead.
  f.openAnswer = Q(kLinkData / "lcdfill.9xz");
  f.menus().openRom->trigger();
  ASSERT_EQ(f.notices.size(), 1);
  EXPECT_TRUE(
      f.notices[0].endsWith("this is a TI-92 Plus variable file, not a ROM image: File > Send to "
                            "Calculator... sends it"))
      << f.notices[0].toStdString();
  f.Run(0.1);
  EXPECT_TRUE(stripes()) << "the OS runs on";
}

TEST(LinkWindow, ResetLoadStateAndOpenRomCancelATransferAndSaySo) {
  LinkWindow f(test::SleepingRom(false));
  ASSERT_TRUE(f.created);
  f.Run(0.1);
  const auto send = [&] {
    f.sendAnswer = {Q(kLinkData / "lcdfill.9xz")};
    f.menus().sendFiles->trigger();
    f.Run(0.2);
    ASSERT_TRUE(f.link().computer().Busy());
  };
  send();
  // Saved while the first bytes wait in the calculator's link port.
  const fs::path state = f.dir.path() / "midway.state";
  ASSERT_TRUE(f.shell().SaveStateTo(state));

  f.menus().reset->trigger();
  EXPECT_EQ(f.Status(), "Reset; sending main\\lcdfill was cancelled");
  EXPECT_FALSE(f.link().computer().Busy());
  EXPECT_FALSE(f.menus().cancelTransfer->isEnabled());

  send();
  f.openAnswer = Q(state);
  f.menus().loadState->trigger();
  EXPECT_EQ(
      f.Status(),
      "State loaded; sending main\\lcdfill was cancelled. The state was saved during a link transfer; it "
      "resumes with the link cable unplugged.");

  send();
  f.openAnswer = Q(kLinkData / "tinyos.9xu");
  f.menus().openRom->trigger();
  EXPECT_EQ(f.Status(), "Opened " + Q(kLinkData / "tinyos.9xu") + "; sending main\\lcdfill was cancelled");

  f.Run(6.0);
  EXPECT_TRUE(f.notices.isEmpty()) << "nothing left to time out: " << f.notices.join('\n').toStdString();
}

TEST(LinkWindow, TheReceivedFilesFolderIsChosenAndRemembered) {
  LinkWindow f(test::SleepingRom(false));
  ASSERT_TRUE(f.created);
  EXPECT_EQ(f.link().receivedFolder().filename(), "Pellux") << "Documents/Pellux until one is chosen";

  f.folderAnswer = Q(f.dir.path());
  f.menus().receivedFolder->trigger();
  EXPECT_EQ(f.link().receivedFolder(), f.dir.path());
  EXPECT_EQ(f.Status(), "Received files go to " + Q(f.dir.path()));
  EXPECT_EQ(SettingsStore(f.settingsFile()).LastFolder(FileKind::Received), Q(f.dir.path()))
      << "kept for the next run";

  f.folderAnswer.clear();  // the dialog cancelled
  f.menus().receivedFolder->trigger();
  EXPECT_EQ(f.link().receivedFolder(), f.dir.path());
}

}  // namespace
}  // namespace pellux
