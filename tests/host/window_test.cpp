// The window on the offscreen platform: zoom and its menu, painting,
// the screenshot, keys on their way to the machine, and the main loop.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QFocusEvent>
#include <QFontInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QTimer>

#include "host/main_window.h"
#include "host/qt_resources.h"
#include "host/shell.h"
#include "machine/calculator.h"
#include "machine/errors.h"
#include "tests/host/known_fonts.h"
#include "tests/host/shell_fixture.h"
#include "tests/host/test_roms.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::ShellFixture;

QAction* FindItem(const QMenu* menu, const QString& text) {
  for (QAction* action : menu->actions()) {
    if (action->text() == text) return action;
    if (action->menu()) {
      if (QAction* inner = FindItem(action->menu(), text)) return inner;
    }
  }
  return nullptr;
}

QString ZoomItem(int zoom) { return QStringLiteral("&%1X").arg(zoom); }

std::vector<int> CheckedZooms(const MainWindow& window) {
  std::vector<int> checked;
  for (int zoom = 1; zoom <= 5; ++zoom) {
    if (FindItem(window.ContextMenu(), ZoomItem(zoom))->isChecked()) checked.push_back(zoom);
  }
  return checked;
}

void FillFramePattern(Calculator& calc) {
  for (std::uint32_t i = 0; i < kLcdFrameBytes; ++i) {
    calc.ram[calc.lcdBase + i] = static_cast<std::uint8_t>((i * 37) ^ (i >> 3) ^ 0x5A);
  }
}

bool FrameDark(const Calculator& calc, unsigned x, unsigned y) {
  return calc.ram[calc.lcdBase + y * 30 + x / 8] & (0x80 >> (x % 8));
}

TEST(Window, StartsTitledAtA3XClientAreaThatCannotBeResized) {
  if (!test::LoadKnownFonts().found()) GTEST_SKIP() << test::kNoKnownFonts;
  ShellFixture f;
  ASSERT_TRUE(f.created);
  MainWindow& w = f.window();
  EXPECT_EQ(w.windowTitle(), "Pellux");
  EXPECT_EQ(w.lcdView().size(), QSize(720, 384));
  EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "fixed size";
  EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(w.zoom(), 3);
  EXPECT_EQ(CheckedZooms(w), std::vector<int>{3});
  const DisplayBitmap* bitmap = w.displayBitmap();
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->image.size(), QSize(720, 384));
  EXPECT_TRUE(QFontInfo(w.listingFont()).fixedPitch()) << "the debugger's columns line up";
}

TEST(Window, ContextMenuHasTheSizeScreenshotDebugAndFullScreenItems) {
  ShellFixture f;
  ASSERT_TRUE(f.created);
  const QList<QAction*> items = f.window().ContextMenu()->actions();
  ASSERT_EQ(items.size(), 4);
  EXPECT_EQ(items[0]->text(), "&Size");
  EXPECT_EQ(items[1]->text(), "Take S&creenshot");
  EXPECT_EQ(items[2]->text(), "&Debug...\tF11");
  EXPECT_EQ(items[3], f.window().menus().fullScreen) << "the way out of full screen, where no menu bar shows";
  ASSERT_NE(items[0]->menu(), nullptr);
  const QList<QAction*> sizes = items[0]->menu()->actions();
  ASSERT_EQ(sizes.size(), 5);
  for (int zoom = 1; zoom <= 5; ++zoom) {
    EXPECT_EQ(sizes[zoom - 1]->text(), ZoomItem(zoom));
    EXPECT_TRUE(sizes[zoom - 1]->isCheckable());
  }
}

TEST(Window, SizeItemsRescaleAndResizeTheWindow) {
  ShellFixture f;
  ASSERT_TRUE(f.created);
  MainWindow& w = f.window();
  w.show();
  for (const int zoom : {1, 5, 2, 4, 4, 3}) {  // 4 twice: the checked item again
    FindItem(w.ContextMenu(), ZoomItem(zoom))->trigger();
    EXPECT_EQ(w.lcdView().size(), QSize(240 * zoom, 128 * zoom)) << zoom;
    EXPECT_EQ(w.minimumSize(), w.maximumSize()) << zoom;
    EXPECT_EQ(w.zoom(), zoom);
    EXPECT_EQ(CheckedZooms(w), std::vector<int>{zoom});
    const DisplayBitmap* bitmap = w.displayBitmap();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->image.size(), QSize(240 * zoom, 128 * zoom));
  }
}

// A window whose display bitmaps can be refused.
class RefusingWindow : public MainWindow {
 public:
  std::unique_ptr<DisplayBitmap> CreateDisplayBitmap(int width, int height) override {
    if (refuse) return nullptr;
    return MainWindow::CreateDisplayBitmap(width, height);
  }
  bool refuse = false;
};

TEST(Window, AZoomWhoseBitmapCannotBeHadChangesNothing) {
  ManualClock clock;
  Calculator calc(test::RomBuilder().bytes());
  Driver driver(calc, clock);
  RefusingWindow w;
  ASSERT_TRUE(w.Attach(&driver));
  const DisplayBitmap* before = w.displayBitmap();
  w.refuse = true;
  FindItem(w.ContextMenu(), ZoomItem(5))->trigger();
  EXPECT_EQ(w.zoom(), 3);
  EXPECT_EQ(w.displayBitmap(), before);
  EXPECT_EQ(w.lcdView().size(), QSize(720, 384));
  EXPECT_EQ(CheckedZooms(w), std::vector<int>{3});
}

TEST(Window, PaintsEveryLcdPixelAsASquareAtEveryZoom) {
  ShellFixture f;
  ASSERT_TRUE(f.created);
  FillFramePattern(f.calc());
  f.window().ShowNewFrame(true);
  for (int zoom = 1; zoom <= 5; ++zoom) {
    f.window().ChangeZoom(zoom);
    const QImage shot = f.window().lcdView().grab().toImage();
    ASSERT_EQ(shot.size(), QSize(240 * zoom, 128 * zoom));
    for (int y = 0; y < shot.height(); ++y) {
      for (int x = 0; x < shot.width(); ++x) {
        const QRgb expected = FrameDark(f.calc(), static_cast<unsigned>(x / zoom), static_cast<unsigned>(y / zoom))
                                  ? qRgb(0, 0, 0)
                                  : qRgb(255, 255, 255);
        ASSERT_EQ(shot.pixel(x, y) & 0xFFFFFF, expected & 0xFFFFFF) << "zoom " << zoom << " at " << x << "," << y;
      }
    }
  }
}

TEST(DrawLcd, EveryLcdPixelIsASquareOfWholeDevicePixelsAtAnyScreenScale) {
  std::vector<std::uint8_t> frame(kLcdFrameBytes);
  for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>((i * 37) ^ (i >> 3) ^ 0x5A);
  auto dark = [&](int x, int y) { return (frame[static_cast<std::size_t>(y * 30 + x / 8)] & (0x80 >> (x % 8))) != 0; };
  for (const qreal ratio : {1.0, 1.25, 1.5, 1.75, 2.0}) {
    for (const int zoom : {1, 3}) {
      SCOPED_TRACE(testing::Message() << "ratio " << ratio << " zoom " << zoom);
      const int width = static_cast<int>(240 * zoom * ratio), height = static_cast<int>(128 * zoom * ratio);
      QImage device(width, height, QImage::Format_RGB32);
      device.fill(Qt::red);
      device.setDevicePixelRatio(ratio);
      QImage scaled(240 * zoom, 128 * zoom, QImage::Format_Mono);
      scaled.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
      {
        QPainter painter(&device);
        DrawLcd(painter, frame.data(), zoom, ratio, scaled);
      }
      const int side = static_cast<int>(zoom * ratio);
      const int left = (width - 240 * side) / 2, top = (height - 128 * side) / 2;
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          const int lx = x - left, ly = y - top;
          const bool inside = lx >= 0 && ly >= 0 && lx < 240 * side && ly < 128 * side;
          const QRgb expected = inside && dark(lx / side, ly / side) ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
          ASSERT_EQ(device.pixel(x, y), expected) << x << "," << y;
        }
      }
    }
  }
}

TEST(Window, ScreenshotIsTheUnscaledLcdOnTheClipboardWhateverTheZoom) {
  ShellFixture f;
  ASSERT_TRUE(f.created);
  FillFramePattern(f.calc());
  f.window().ChangeZoom(5);
  QGuiApplication::clipboard()->clear();
  FindItem(f.window().ContextMenu(), "Take S&creenshot")->trigger();
  const QImage image = QGuiApplication::clipboard()->image();
  ASSERT_EQ(image.size(), QSize(240, 128));
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 240; ++x) {
      const bool dark = FrameDark(f.calc(), static_cast<unsigned>(x), static_cast<unsigned>(y));
      ASSERT_EQ(image.pixel(x, y) & 0xFFFFFF, dark ? 0u : 0xFFFFFFu) << x << "," << y;
    }
  }
}

// Key events as the offscreen platform makes them (no native codes).
void Key(QWidget& w, QEvent::Type type, int key, std::uint64_t time, Qt::KeyboardModifiers modifiers = {},
         bool repeat = false) {
  QKeyEvent event(type, key, modifiers, QString(), repeat);
  event.setTimestamp(time);
  QCoreApplication::sendEvent(&w, &event);
}

bool Down(const Calculator& calc, unsigned code) { return !(calc.keyMatrix[code / 8] & (1u << (code % 8))); }

constexpr unsigned kCodeA = 74, kCodeS = 10, kCodeShift = 2, kCode1 = 13;

TEST(WindowKeys, APressRunsTheMachineBeforeTheNextKeyIsHandled) {
  ShellFixture f;
  ASSERT_TRUE(f.created);
  MainWindow& w = f.window();
  Key(w, QEvent::KeyPress, Qt::Key_A, 1);
  Key(w, QEvent::KeyPress, Qt::Key_S, 2);
  // A key press wakes the machine (the keyboard interrupt may wake it), so the
  // second key waits for the machine to run.
  EXPECT_TRUE(w.HandleInput());
  EXPECT_TRUE(Down(f.calc(), kCodeA));
  EXPECT_FALSE(Down(f.calc(), kCodeS));
  EXPECT_TRUE(w.HandleInput());
  EXPECT_TRUE(Down(f.calc(), kCodeS));
  EXPECT_FALSE(w.HandleInput()) << "nothing left";
  Key(w, QEvent::KeyRelease, Qt::Key_A, 3);
  Key(w, QEvent::KeyRelease, Qt::Key_S, 4);
  while (w.HandleInput()) {
  }
  EXPECT_FALSE(Down(f.calc(), kCodeA));
  EXPECT_FALSE(Down(f.calc(), kCodeS));
  EXPECT_EQ(f.calc().anyKeyDown, 0u);
}

TEST(WindowKeys, ShiftAndADigitAreTwoKeysAndReleaseCleanly) {
  ShellFixture f;
  ASSERT_TRUE(f.created);
  MainWindow& w = f.window();
  Key(w, QEvent::KeyPress, Qt::Key_Shift, 1);
  Key(w, QEvent::KeyPress, Qt::Key_Exclam, 2, Qt::ShiftModifier);
  while (w.HandleInput()) {
  }
  EXPECT_TRUE(Down(f.calc(), kCodeShift));
  EXPECT_TRUE(Down(f.calc(), kCode1));
  Key(w, QEvent::KeyRelease, Qt::Key_Exclam, 3, Qt::ShiftModifier);
  Key(w, QEvent::KeyRelease, Qt::Key_Shift, 4, Qt::ShiftModifier);
  while (w.HandleInput()) {
  }
  EXPECT_EQ(f.calc().keyMatrix, (std::array<std::uint8_t, kKeyRows>{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                                     0xFF, 0xFF, 0xFF}));
}

TEST(WindowKeys, AutoRepeatIsIgnoredForPressesAndReleases) {
  ShellFixture f;
  ASSERT_TRUE(f.created);
  MainWindow& w = f.window();
  Key(w, QEvent::KeyPress, Qt::Key_A, 10);
  while (w.HandleInput()) {
  }
  const std::uint32_t pcBefore = f.calc().cpu.pc;
  // Marked repeats, and X11's unmarked release/press pairs sharing a time.
  Key(w, QEvent::KeyRelease, Qt::Key_A, 670, {}, true);
  Key(w, QEvent::KeyPress, Qt::Key_A, 670, {}, true);
  Key(w, QEvent::KeyRelease, Qt::Key_A, 710);
  Key(w, QEvent::KeyPress, Qt::Key_A, 710);
  EXPECT_FALSE(w.HandleInput());
  EXPECT_TRUE(Down(f.calc(), kCodeA));
  EXPECT_EQ(f.calc().cpu.pc, pcBefore) << "no release burst ran";
  Key(w, QEvent::KeyRelease, Qt::Key_A, 800);
  while (w.HandleInput()) {
  }
  EXPECT_FALSE(Down(f.calc(), kCodeA));
}

TEST(WindowKeys, FocusLossAltCombinationsAndF10ReleaseEveryKey) {
  ShellFixture f;
  ASSERT_TRUE(f.created);
  MainWindow& w = f.window();
  auto pressAandOn = [&] {
    Key(w, QEvent::KeyPress, Qt::Key_A, 1);
    Key(w, QEvent::KeyPress, Qt::Key_End, 2);
    while (w.HandleInput()) {
    }
    ASSERT_TRUE(Down(f.calc(), kCodeA));
    ASSERT_EQ(f.calc().ports[port::kOnKey], 0x14) << "ON down";
  };
  auto expectAllUp = [&](const char* what) {
    while (w.HandleInput()) {
    }
    EXPECT_FALSE(Down(f.calc(), kCodeA)) << what;
    EXPECT_EQ(f.calc().anyKeyDown, 0u) << what;
    EXPECT_EQ(f.calc().ports[port::kOnKey], 0x16) << what;
  };

  pressAandOn();
  QFocusEvent focusOut(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
  QCoreApplication::sendEvent(&w, &focusOut);
  expectAllUp("focus lost");

  pressAandOn();
  Key(w, QEvent::KeyPress, Qt::Key_X, 5, Qt::AltModifier);
  expectAllUp("Alt+X");
  EXPECT_FALSE(Down(f.calc(), 17)) << "X itself is not pressed";

  pressAandOn();
  Key(w, QEvent::KeyPress, Qt::Key_F10, 7);
  expectAllUp("F10");
}

TEST(WindowKeys, F11AndTheMenuOpenTheDebuggerAndBreakOnKeypressToo) {
  ShellFixture f;
  ASSERT_TRUE(f.created);
  MainWindow& w = f.window();
  Key(w, QEvent::KeyPress, Qt::Key_F11, 1);
  Key(w, QEvent::KeyRelease, Qt::Key_F11, 2);
  EXPECT_FALSE(w.HandleInput());
  EXPECT_EQ(f.debuggerOpened, 1);
  FindItem(w.ContextMenu(), "&Debug...\tF11")->trigger();
  EXPECT_EQ(f.debuggerOpened, 2);

  w.breakOnKeypress = 1;
  Key(w, QEvent::KeyPress, Qt::Key_A, 3);
  EXPECT_TRUE(w.HandleInput());
  EXPECT_EQ(f.debuggerOpened, 3);
  // A press that may not wake the machine does not break into the debugger.
  f.calc().wakeMask = 0x21;
  Key(w, QEvent::KeyPress, Qt::Key_S, 4);
  EXPECT_FALSE(w.HandleInput());
  EXPECT_TRUE(Down(f.calc(), kCodeS));
  EXPECT_EQ(f.debuggerOpened, 3);
}

TEST(MainLoop, ABreakpointReachedInASliceOpensTheDebugger) {
  ShellFixture f;
  ASSERT_TRUE(f.created);
  f.calc().breakpoints.Toggle(f.calc().cpu.pc);
  f.shell().Pass();
  EXPECT_EQ(f.debuggerOpened, 1);
  EXPECT_EQ(f.shell().mode(), Driver::Mode::Running);
}

TEST(MainLoop, ASleepingMachineIdlesAndAKeyWakesIt) {
  ShellFixture f(test::SleepingRom(true));
  ASSERT_TRUE(f.created);
  for (int pass = 0; pass < 20 && f.shell().mode() == Driver::Mode::Running; ++pass) f.shell().Pass();
  ASSERT_EQ(f.shell().mode(), Driver::Mode::Asleep);
  Key(f.window(), QEvent::KeyPress, Qt::Key_A, 1);
  f.shell().Pass();
  EXPECT_TRUE(Down(f.calc(), kCodeA));
  EXPECT_EQ(f.shell().mode(), Driver::Mode::Running) << "the key's resume flag";
}

TEST(MainLoop, ABreakpointMetWhileIdleIsReachedThroughARunSlice) {
  ShellFixture f(test::SleepingRom(false));
  ASSERT_TRUE(f.created);
  for (int pass = 0; pass < 20 && f.shell().mode() == Driver::Mode::Running; ++pass) f.shell().Pass();
  ASSERT_EQ(f.shell().mode(), Driver::Mode::Asleep);
  // The next wake-up interrupt enters the sleep code, in a burst of the idle
  // catch-up, and the debugger opens.
  f.calc().breakpoints.Toggle(test::kSleepingRomSleep);
  for (int pass = 0; pass < 1000 && f.debuggerOpened == 0; ++pass) f.shell().Pass();
  EXPECT_EQ(f.debuggerOpened, 1);
  EXPECT_EQ(f.calc().cpu.pc, test::kSleepingRomSleep);
  EXPECT_EQ(f.shell().mode(), Driver::Mode::Running);
}

TEST(MainLoop, ClosingTheWindowEndsTheLoopAndReleasesWindowThenMachine) {
  ShellFixture f(test::SleepingRom(false));
  ASSERT_TRUE(f.created);
  f.window().show();
  QTimer::singleShot(50, &f.window(), [&] { f.window().close(); });
  EXPECT_EQ(f.shell().Run(), 0);
  EXPECT_EQ(f.shell().window(), nullptr);
  EXPECT_EQ(f.shell().calculator(), nullptr);
}

}  // namespace
}  // namespace pellux
