// The menu bar, driven as a user would, item by item: what each does to the
// machine and what the status line then says.
#include <gtest/gtest.h>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "host/lcd_view.h"
#include "host/main_window.h"
#include "host/settings_store.h"
#include "host/shell.h"
#include "host/status_line.h"
#include "machine/calculator.h"
#include "machine/errors.h"
#include "machine/rom_file.h"
#include "tests/host/shell_fixture.h"
#include "tests/host/test_roms.h"
#include "tests/test_support.h"
#include "tests/value_or_empty.h"

namespace pellux {
namespace {

using test::ShellFixture;

QStringList Titles(const QMenu* menu) {
  QStringList titles;
  for (const QAction* action : menu->actions()) {
    if (!action->isSeparator()) titles << action->text();
  }
  return titles;
}

// A shell on the sleeping test ROM whose file dialogs answer what the test
// says and whose messages are kept.
struct MenuFixture : ShellFixture {
  explicit MenuFixture(const std::vector<std::uint8_t>& rom = test::SleepingRom(false)) : ShellFixture(rom) {
    if (!created) return;
    window().chooseSaveFile = [this](FileKind kind, const QString& suggested) {
      savesAsked.push_back({kind, suggested});
      return answer;
    };
    window().chooseOpenFile = [this](FileKind, const QString&) { return answer; };
    window().showError = [this](const ErrMsg& error) {
      errors << QString::fromUtf8(error.what()) + " | " + QString::fromStdString(error.detail);
      captions << QString::fromUtf8(error.caption());
    };
    window().showNotice = [this](const QString& text) { notices << text; };
    window().showWarning = [this](const QString& text) { errors << text; };
  }
  void Passes(int count) {
    for (int i = 0; i < count; ++i) shell().Pass();
  }
  StatusLine& status() { return window().statusLine(); }

  QString answer;  // what the next file dialog answers
  std::vector<std::pair<FileKind, QString>> savesAsked;
  QStringList errors;
  QStringList captions;  // the titles of the error boxes
  QStringList notices;
};

// A processor that never sleeps, with the timers ticking.
std::vector<std::uint8_t> BusyTickingRom() {
  test::RomBuilder rom = test::NopRom();
  const std::uint32_t at = test::RomBuilder::kDefaultPc - test::RomBuilder::kFlashBase;
  const std::uint8_t timersOn[] = {0x13, 0xFC, 0x00, 0x01, 0x00, 0x60, 0x00, 0x15};  // MOVE.B #1,$600015
  for (std::uint32_t i = 0; i < sizeof timersOn; ++i) rom.Byte(at + i, timersOn[i]);
  return rom.bytes();
}

bool Down(const Calculator& calc, unsigned code) { return !(calc.keyMatrix[code / 8] & (1u << (code % 8))); }

void Key(MainWindow& w, QEvent::Type type, int key, std::uint64_t time) {
  QKeyEvent event(type, key, Qt::NoModifier);
  event.setTimestamp(time);
  QCoreApplication::sendEvent(&w, &event);
}

TEST(MenuBar, HasTheSixMenusWithTheirItemsAndKeys) {
  MenuFixture f;
  ASSERT_TRUE(f.created);
  const QList<QAction*> menus = f.window().MenuBar()->actions();
  QStringList names;
  for (const QAction* menu : menus) names << menu->text();
  EXPECT_EQ(names, (QStringList{"&File", "&Emulation", "&Link", "&View", "&Debug", "&Help"}));
  EXPECT_TRUE(f.window().menus().saveState->isEnabled());
  EXPECT_EQ(Titles(menus[0]->menu()),
            (QStringList{"&Open ROM...", "Open ROM (&cold boot)...", "Recen&t", "S&end to Calculator...",
                         "&Save State...", "&Load State...", "Save Scree&nshot...",
                         "Screenshots at &Window Size", "&Reset", "&Quit"}));
  EXPECT_EQ(f.window().menus().quit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
  EXPECT_EQ(Titles(menus[1]->menu()),
            (QStringList{"&Pause\tPause", "&Speed", "Processor at &Calculator Speed"}));
  EXPECT_FALSE(f.window().menus().calculatorSpeed->isChecked()) << "off by default";
  EXPECT_TRUE(f.window().menus().SpeedItem(Speed::Real)->isChecked());
  EXPECT_EQ(Titles(menus[2]->menu()),
            (QStringList{"&Connect to Another Pellux...", "&Wait for Another Pellux...", "&Disconnect",
                         "Get &Screen", "&Received Files Folder...", "C&ancel Transfer"}));
  EXPECT_FALSE(f.window().menus().cancelTransfer->isEnabled()) << "nothing to cancel";
  EXPECT_EQ(Titles(menus[4]->menu()), (QStringList{"&Debugger...\tF11", "&Breakpoints..."}));
  EXPECT_EQ(Titles(menus[5]->menu()), (QStringList{"&Keys...", "&About Pellux"}));
  // View > Size holds the context menu's own items: one check for both.
  const QList<QAction*> view = menus[3]->menu()->actions();
  ASSERT_NE(view[0]->menu(), nullptr);
  const QList<QAction*> sizes = view[0]->menu()->actions();
  ASSERT_EQ(sizes.size(), 5);
  sizes[4]->trigger();
  EXPECT_EQ(f.window().zoom(), 5);
  EXPECT_EQ(f.window().lcdView().size(), QSize(1200, 640));
  const QList<QAction*> context = f.window().ContextMenu()->actions()[0]->menu()->actions();
  EXPECT_TRUE(context[4]->isChecked());
  context[1]->trigger();
  EXPECT_TRUE(sizes[1]->isChecked());
  EXPECT_EQ(f.window().lcdView().size(), QSize(480, 256));
}

// A menu declared in a table: the bar in the order the table names its
// menus, submenus where declared, each item's state from its source, shown
// after every action and whenever a menu opens.
TEST(MenuTable, BuildsTheBarInTheTablesOrderAndShowsEachItemsStateFromItsSource) {
  QWidget owner;
  QMenuBar bar(&owner);
  QAction* borrowed = new QAction(QStringLiteral("&Borrowed"), &owner);
  int chosen = 0;
  bool busy = false;
  std::vector<bool> toggles;
  QAction* go = nullptr;
  QAction* stop = nullptr;
  QAction* fast = nullptr;
  QAction* slow = nullptr;
  QAction* check = nullptr;
  QMenu* more = nullptr;
  const QStringList first{QStringLiteral("&First")};
  const QStringList second{QStringLiteral("&Second")};
  const std::vector<MenuItemDecl> items = {
      {.menu = first,
       .key = QKeySequence(Qt::ALT | Qt::Key_G),
       .item = &go,
       .triggered = [&] { busy = !busy; },
       .label = [&] { return busy ? QStringLiteral("&Stop") : QStringLiteral("&Go"); }},
      {.menu = second, .text = QStringLiteral("&More"), .entry = MenuEntry::Submenu, .submenu = &more},
      {.menu = first,
       .text = QStringLiteral("&Halt"),
       .key = QKeySequence(Qt::CTRL | Qt::Key_H),
       .separatorBefore = true,
       .everywhere = true,
       .item = &stop,
       .enabled = [&] { return busy; }},
      {.menu = {QStringLiteral("&Second"), QStringLiteral("&More")},
       .text = QStringLiteral("&Fast"),
       .check = MenuCheck::Off,
       .exclusiveGroup = 1,
       .item = &fast,
       .triggered = [&] { chosen = 1; },
       .checked = [&] { return chosen == 1; }},
      {.menu = {QStringLiteral("&Second"), QStringLiteral("&More")},
       .text = QStringLiteral("&Slow"),
       .check = MenuCheck::Off,
       .exclusiveGroup = 1,
       .item = &slow,
       .triggered = [&] { chosen = 2; },
       .checked = [&] { return chosen == 2; }},
      {.menu = second,
       .text = QStringLiteral("&Check"),
       .check = MenuCheck::On,
       .inContextMenu = true,
       .item = &check,
       .toggled = [&](bool on) { toggles.push_back(on); }},
      {.menu = second, .entry = MenuEntry::Borrowed, .borrowed = [&] { return QList<QAction*>{borrowed}; }},
  };
  MenuTable table;
  table.Build(bar, items, owner);

  const QList<QAction*> menus = bar.actions();
  ASSERT_EQ(menus.size(), 2);
  EXPECT_EQ(menus[0]->text(), "&First");
  EXPECT_EQ(menus[1]->text(), "&Second");
  EXPECT_EQ(Titles(menus[0]->menu()), (QStringList{"&Go", "&Halt"}));
  EXPECT_TRUE(menus[0]->menu()->actions()[1]->isSeparator());
  EXPECT_EQ(Titles(menus[1]->menu()), (QStringList{"&More", "&Check", "&Borrowed"}));
  ASSERT_NE(more, nullptr);
  EXPECT_EQ(menus[1]->menu()->actions()[0]->menu(), more);
  EXPECT_EQ(Titles(more), (QStringList{"&Fast", "&Slow"}));
  EXPECT_EQ(go->shortcut(), QKeySequence(Qt::ALT | Qt::Key_G));
  EXPECT_EQ(go->shortcutContext(), Qt::WindowShortcut);
  EXPECT_EQ(stop->shortcutContext(), Qt::ApplicationShortcut);
  EXPECT_EQ(table.windowKeys(), QList<QAction*>{go}) << "only the window's own keys";
  EXPECT_EQ(table.contextItems(), QList<QAction*>{check});
  EXPECT_TRUE(check->isChecked()) << "declared on";
  ASSERT_NE(fast->actionGroup(), nullptr);
  EXPECT_EQ(fast->actionGroup(), slow->actionGroup());
  EXPECT_TRUE(fast->actionGroup()->isExclusive()) << "one of the group at a time";
  EXPECT_TRUE(toggles.empty()) << "the start state is no toggle";

  table.Refresh();
  EXPECT_FALSE(stop->isEnabled());
  EXPECT_FALSE(fast->isChecked());
  // The action's own change shows as soon as it has run.
  go->trigger();
  EXPECT_EQ(go->text(), "&Stop");
  EXPECT_TRUE(stop->isEnabled());
  slow->trigger();
  EXPECT_TRUE(slow->isChecked());
  // A change made elsewhere shows when a menu opens.
  chosen = 1;
  busy = false;
  emit more->aboutToShow();
  EXPECT_TRUE(fast->isChecked());
  EXPECT_FALSE(slow->isChecked());
  EXPECT_EQ(go->text(), "&Go");
  EXPECT_FALSE(stop->isEnabled());
  check->trigger();
  EXPECT_EQ(toggles, std::vector<bool>{false});
}

TEST(MenuBar, TheLcdAreaIsExactlyTheZoomsSizeWithTheBarsAroundIt) {
  MenuFixture f;
  ASSERT_TRUE(f.created);
  MainWindow& w = f.window();
  w.show();
  for (int zoom : {1, 3, 5}) {
    w.ChangeZoom(zoom);
    QCoreApplication::processEvents();
    const QRect lcd = w.lcdView().geometry();
    EXPECT_EQ(lcd.size(), QSize(240 * zoom, 128 * zoom)) << zoom;
    EXPECT_GE(lcd.top(), w.MenuBar()->geometry().bottom()) << "below the menu bar";
    EXPECT_LE(lcd.bottom(), w.statusLine().geometry().top()) << "above the status line";
    EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "the window cannot be resized";
  }
}

TEST(Emulation, PauseStopsTheMachineKeepsHeldKeysAndResumeGoesOn) {
  MenuFixture f(test::RomBuilder().bytes());  // a busy processor
  ASSERT_TRUE(f.created);
  MainWindow& w = f.window();
  constexpr unsigned kCodeA = 74;
  Key(w, QEvent::KeyPress, Qt::Key_A, 1);
  f.Passes(5);
  ASSERT_TRUE(Down(f.calc(), kCodeA));
  EXPECT_EQ(f.status().StateText(), "Running");

  // The Pause key: no calculator key goes up.
  Key(w, QEvent::KeyPress, Qt::Key_Pause, 2);
  Key(w, QEvent::KeyRelease, Qt::Key_Pause, 3);
  f.Passes(1);
  ASSERT_TRUE(f.shell().paused());
  EXPECT_EQ(w.menus().pause->text(), "&Resume\tPause");
  EXPECT_EQ(f.status().StateText(), "Paused");
  EXPECT_EQ(f.status().SpeedText(), "- %");
  const std::uint64_t at = f.calc().cpu.instructionCount;
  const auto frame = w.lcdView().frame();
  f.Passes(50);
  EXPECT_EQ(f.calc().cpu.instructionCount, at) << "no instruction while paused";
  EXPECT_EQ(w.lcdView().frame(), frame) << "the display is kept";
  EXPECT_TRUE(Down(f.calc(), kCodeA));

  // Speed changes while paused and held keys: still held.
  for (QAction* speed : w.menus().speeds) speed->trigger();
  w.menus().calculatorSpeed->trigger();
  w.menus().calculatorSpeed->trigger();
  EXPECT_TRUE(Down(f.calc(), kCodeA));

  w.menus().pause->trigger();  // Resume from the menu
  EXPECT_FALSE(f.shell().paused());
  EXPECT_EQ(w.menus().pause->text(), "&Pause\tPause");
  f.Passes(5);
  EXPECT_GT(f.calc().cpu.instructionCount, at);
  EXPECT_EQ(f.status().StateText(), "Running");
  EXPECT_TRUE(Down(f.calc(), kCodeA));
}

// The speed figure is calculator time over real time, whatever the speed.
TEST(Emulation, TheStatusLineSpeedFollowsTheSpeedChosen) {
  const struct {
    Speed speed;
    double percent;
  } cases[] = {{Speed::Real, 100}, {Speed::Double, 200}, {Speed::Quadruple, 400}};
  for (const auto& c : cases) {
    MenuFixture f;
    ASSERT_TRUE(f.created);
    f.window().menus().SpeedItem(c.speed)->trigger();
    EXPECT_EQ(f.shell().speedClock().speed(), c.speed);
    f.Passes(3000);  // about three seconds of passes on the manual clock
    EXPECT_EQ(f.status().StateText(), "Asleep");
    const double shown = f.status().SpeedText().chopped(2).toDouble();
    EXPECT_NEAR(shown, c.percent, c.percent * 0.02) << f.status().SpeedText().toStdString();
  }
}

TEST(Emulation, UnlimitedRunsOneTickPerSliceAndSaysHowFarAhead) {
  MenuFixture f(BusyTickingRom());  // one slice per pass
  ASSERT_TRUE(f.created);
  f.window().menus().SpeedItem(Speed::Unlimited)->trigger();
  f.clock.passTicks = 0;  // real time stands still
  const std::uint32_t ticks = f.calc().tickCount;
  f.Passes(2000);
  EXPECT_EQ(f.calc().tickCount - ticks, 2000u) << "one tick per slice";
  f.clock.AdvanceTicks(512);  // half a second of real time
  f.Passes(1);
  const double shown = f.status().SpeedText().chopped(2).toDouble();
  EXPECT_NEAR(shown, 100.0 * 2001 / 512, 2) << "calculator time far ahead of real time";
}

TEST(File, ResetAsksFirstThenColdBootsFromTheImageKeepingTheBreakpoints) {
  MenuFixture f;
  ASSERT_TRUE(f.created);
  f.Passes(200);
  f.calc().breakpoints.Toggle(0x123456);
  f.calc().ram[0x100] = 0xAB;
  const std::uint64_t ran = f.calc().cpu.instructionCount;
  ASSERT_GT(ran, 0u);
  QStringList asked;
  bool answer = false;
  f.window().confirm = [&](const QString& question, const QString& goText) {
    asked << question + " | " + goText;
    return answer;
  };
  f.window().menus().reset->trigger();
  ASSERT_EQ(asked.size(), 1);
  EXPECT_TRUE(asked[0].startsWith("Reset the calculator?")) << asked[0].toStdString();
  EXPECT_TRUE(asked[0].endsWith(" | &Reset"));
  EXPECT_EQ(f.calc().cpu.instructionCount, ran) << "cancelled: the machine as it was";
  EXPECT_EQ(f.calc().ram[0x100], 0xAB);

  answer = true;
  f.window().menus().reset->trigger();
  EXPECT_EQ(asked.size(), 2);
  EXPECT_EQ(f.calc().cpu.instructionCount, 0u);
  EXPECT_EQ(f.calc().ram[0x100], 0);
  EXPECT_TRUE(f.calc().breakpoints.Contains(0x123456));
  EXPECT_EQ(f.status().currentMessage(), "Reset");
}

TEST(File, OpenRomBootsTheImageOrSaysWhyNotAndRunsOn) {
  MenuFixture f;
  ASSERT_TRUE(f.created);
  QTemporaryDir dir;
  const QString empty = dir.filePath("empty.rom");
  {
    QFile file(empty);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  const struct {
    QString path;
    const char* text;
  } bad[] = {
      {dir.path(), "ROM image file could not be opened."},
      {dir.filePath("missing.rom"), "ROM image file could not be opened."},
      {empty, "ROM image file could not be read."},
  };
  for (const auto& c : bad) {
    f.Passes(10);
    Calculator* before = &f.calc();
    const std::uint64_t ran = f.calc().cpu.instructionCount;
    f.errors.clear();
    f.answer = c.path;
    f.window().menus().openRom->trigger();
    ASSERT_EQ(f.errors.size(), 1) << c.path.toStdString();
    EXPECT_TRUE(f.errors[0].startsWith(c.text)) << f.errors[0].toStdString();
    EXPECT_EQ(f.captions.back(), "Open ROM: the Image Was Not Opened") << "not the start's error";
    EXPECT_TRUE(f.errors[0].contains(c.path)) << "the path is named: " << f.errors[0].toStdString();
    EXPECT_EQ(&f.calc(), before);
    f.Passes(10);
    EXPECT_GT(f.calc().cpu.instructionCount, ran) << "the running machine runs on";
  }

  const auto other = test::SleepingRom(true);
  const QString good = dir.filePath("other.rom");
  {
    QFile file(good);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(other.data()), static_cast<qint64>(other.size()));
  }
  f.errors.clear();
  f.answer = good;
  f.window().menus().openRom->trigger();
  EXPECT_TRUE(f.errors.isEmpty());
  EXPECT_EQ(f.calc().cpu.instructionCount, 0u) << "a fresh machine";
  EXPECT_EQ(f.calc().rom[0x12000], other[0x12000]);
  EXPECT_EQ(f.status().RomText(), "other.rom");
  EXPECT_TRUE(f.notices.isEmpty()) << "a sound image: nothing to warn about";

  // A suspect image runs, with the box the start gives it.
  const QString zeros = dir.filePath("zeros.rom");
  {
    QFile file(zeros);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(0x200000, '\0'));
  }
  f.answer = zeros;
  f.window().menus().openRom->trigger();
  EXPECT_EQ(f.status().RomText(), "zeros.rom");
  ASSERT_EQ(f.notices.size(), 1);
  const RomFile read = test::ValueOrEmpty(ReadRomFile(zeros.toStdString()));
  ASSERT_FALSE(read.warnings.empty());
  std::string expected;
  for (const std::string& warning : read.warnings) {
    if (!expected.empty()) expected += '\n';
    expected += ImageNote(zeros.toStdString(), warning);
  }
  EXPECT_EQ(f.notices[0].toStdString(), expected);
  EXPECT_TRUE(f.notices[0].startsWith(zeros + ": ")) << f.notices[0].toStdString();
}

TEST(File, SaveScreenshotWritesThePngTheUserNamed) {
  MenuFixture f(test::SleepingRom(true));
  ASSERT_TRUE(f.created);
  f.Passes(300);  // the ROM has drawn its picture
  QTemporaryDir dir;
  for (const bool atZoom : {false, true}) {
    f.window().menus().screenshotAtZoom->setChecked(atZoom);
    f.answer = dir.filePath(atZoom ? "zoomed" : "plain");  // no suffix: .png is added
    f.window().menus().saveScreenshot->trigger();
    ASSERT_FALSE(f.savesAsked.empty());
    EXPECT_EQ(f.savesAsked.back().first, FileKind::Screenshot);
    EXPECT_TRUE(QFileInfo(f.savesAsked.back().second).fileName().startsWith("pellux-"));
    EXPECT_TRUE(f.savesAsked.back().second.endsWith(".png"));
    const QString written = f.answer + ".png";
    const QImage image(written, "PNG");
    const int scale = atZoom ? 3 : 1;
    ASSERT_EQ(image.size(), QSize(240 * scale, 128 * scale));
    for (int y = 0; y < image.height(); y += 7) {
      for (int x = 0; x < image.width(); x += 5) {
        const bool dark =
            test::SleepingRomPixel(static_cast<unsigned>(x / scale), static_cast<unsigned>(y / scale), 0xFF);
        ASSERT_EQ(image.pixel(x, y) & 0xFFFFFF, dark ? 0u : 0xFFFFFFu) << x << "," << y;
      }
    }
    EXPECT_EQ(f.status().currentMessage(), "Screenshot saved to " + written);
  }
  // Where nothing can be written: said, and nothing left behind.
  f.errors.clear();
  f.answer = dir.filePath("no such folder/shot.png");
  f.window().menus().saveScreenshot->trigger();
  ASSERT_EQ(f.errors.size(), 1);
  EXPECT_TRUE(f.errors[0].contains("could not be saved")) << f.errors[0].toStdString();
  EXPECT_TRUE(f.status().currentMessage().contains("could not be saved"));
  EXPECT_FALSE(QFileInfo::exists(dir.filePath("no such folder")));
}

TEST(File, SaveAndLoadStateTakeTheMachineBackOrSayWhyNot) {
  MenuFixture f(BusyTickingRom());
  ASSERT_TRUE(f.created);
  QTemporaryDir dir;
  f.Passes(100);
  f.answer = dir.filePath("busy");  // .state is added
  f.window().menus().saveState->trigger();
  EXPECT_EQ(f.status().currentMessage(), "State saved");
  const std::uint64_t savedAt = f.calc().cpu.instructionCount;
  const std::uint32_t savedPc = f.calc().cpu.pc;
  f.Passes(100);
  ASSERT_GT(f.calc().cpu.instructionCount, savedAt);
  f.answer = dir.filePath("busy.state");
  f.window().menus().loadState->trigger();
  EXPECT_TRUE(f.errors.isEmpty()) << f.errors.join("; ").toStdString();
  EXPECT_EQ(f.status().currentMessage(), "State loaded");
  EXPECT_EQ(f.calc().cpu.instructionCount, savedAt);
  EXPECT_EQ(f.calc().cpu.pc, savedPc);

  // Not a state, and a place where nothing can be written: said, the
  // machine as it was, nothing left behind.
  const QString notState = dir.filePath("note.state");
  {
    QFile file(notState);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a state");
  }
  Calculator* before = &f.calc();
  f.answer = notState;
  f.window().menus().loadState->trigger();
  ASSERT_EQ(f.errors.size(), 1);
  EXPECT_TRUE(f.errors[0].startsWith("The state could not be loaded: ")) << f.errors[0].toStdString();
  EXPECT_EQ(&f.calc(), before);
  f.answer = dir.filePath("no such folder/busy.state");
  f.window().menus().saveState->trigger();
  ASSERT_EQ(f.errors.size(), 2);
  EXPECT_TRUE(f.errors[1].startsWith("The state could not be saved: ")) << f.errors[1].toStdString();
  EXPECT_FALSE(QFileInfo::exists(dir.filePath("no such folder")));
}

TEST(Help, KeysAndAboutOpenTheirWindows) {
  MenuFixture f;
  ASSERT_TRUE(f.created);
  f.window().menus().keys->trigger();
  f.window().menus().about->trigger();
  int shown = 0;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->isVisible() &&
        (widget->windowTitle() == "Pellux Keys" || widget->windowTitle() == "About Pellux")) {
      ++shown;
    }
  }
  EXPECT_EQ(shown, 2);
}

void MoveMouse(QWidget& over, QPoint at) {
  QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(over.mapToGlobal(at)), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QCoreApplication::sendEvent(&over, &move);
}

// Full screen shows the LCD alone, scaled by a whole factor; the menu bar
// comes back over it at the top edge, and each way out leaves it without
// touching the calculator.
TEST(View, FullScreenShowsTheLcdAloneAndEachWayOutLeavesIt) {
  constexpr unsigned kCodeEsc = 70;
  const struct {
    const char* way;
    std::function<void(MenuFixture&)> leave;
  } ways[] = {
      {"Esc", [](MenuFixture& f) { Key(f.window(), QEvent::KeyPress, Qt::Key_Escape, 10); }},
      {"F11", [](MenuFixture& f) { Key(f.window(), QEvent::KeyPress, Qt::Key_F11, 10); }},
      {"the context menu", [](MenuFixture& f) { f.window().ContextMenu()->actions().back()->trigger(); }},
      {"View > Full Screen", [](MenuFixture& f) { f.window().menus().fullScreen->trigger(); }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.way);
    MenuFixture f;
    ASSERT_TRUE(f.created);
    MainWindow& w = f.window();
    w.show();
    w.menus().fullScreen->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.isFullScreen());
    EXPECT_EQ(w.geometry(), w.screen()->geometry()) << "the whole screen";
    EXPECT_FALSE(w.MenuBar()->isVisible());
    EXPECT_FALSE(w.statusLine().isVisible());
    const QRect area = w.lcdView().geometry();
    EXPECT_EQ(area, w.rect()) << "the LCD's area is all of the window";
    const int expected = std::min(area.width() / 240, area.height() / 128);
    EXPECT_GE(expected, 2) << "a screen larger than 2X";
    EXPECT_EQ(w.lcdView().DeviceScale(), expected);

    // The mouse at the top edge: the menu bar, over the LCD, which stays.
    MoveMouse(w.lcdView(), QPoint(area.width() / 2, 0));
    EXPECT_TRUE(w.MenuBar()->isVisible());
    EXPECT_EQ(w.MenuBar()->geometry().top(), 0);
    EXPECT_EQ(w.lcdView().geometry(), area);
    MoveMouse(w.lcdView(), QPoint(area.width() / 2, area.height() / 2));
    EXPECT_FALSE(w.MenuBar()->isVisible()) << "gone when the mouse leaves it";

    way.leave(f);
    f.Passes(5);
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.isFullScreen());
    EXPECT_FALSE(w.menus().fullScreen->isChecked());
    EXPECT_TRUE(w.MenuBar()->isVisible());
    EXPECT_TRUE(w.statusLine().isVisible());
    EXPECT_EQ(w.lcdView().size(), QSize(720, 384));
    EXPECT_GE(w.lcdView().geometry().top(), w.MenuBar()->geometry().bottom());
    EXPECT_FALSE(Down(f.calc(), kCodeEsc)) << "leaving presses no calculator key";
    EXPECT_EQ(f.debuggerOpened, 0) << "nor opens the debugger";
    Key(w, QEvent::KeyRelease, Qt::Key_Escape, 11);
    Key(w, QEvent::KeyRelease, Qt::Key_F11, 11);
    f.Passes(5);

    // Outside full screen the keys are the calculator's ESC and the debugger's.
    Key(w, QEvent::KeyPress, Qt::Key_Escape, 20);
    f.Passes(5);
    EXPECT_TRUE(Down(f.calc(), kCodeEsc));
    Key(w, QEvent::KeyPress, Qt::Key_F11, 21);
    f.Passes(5);
    EXPECT_EQ(f.debuggerOpened, 1);
  }
}

TEST(Close, QuitOrClosingWithAModalDialogUpEndsTheProgramAndKeepsTheSettings) {
  QTemporaryDir dir;
  const QString settings = dir.filePath("pellux.ini");
  test::TempFile rom(test::SleepingRom(false));
  ManualClock clock;
  clock.passTicks = 1;
  ShellOptions options;
  options.romPath = rom.path();
  options.clock = &clock;
  options.settingsFile = settings;
  {
    Shell shell(options);
    ASSERT_TRUE(shell.Create());
    shell.window()->show();
    shell.window()->menus().SpeedItem(Speed::Quadruple)->trigger();
    shell.window()->ChangeZoom(5);
    // The debugger is up (modal) when the window manager asks the window to
    // close: the dialog ends and so does the loop.
    bool dialogOpen = false;
    QTimer::singleShot(0, shell.window(), [&] { shell.window()->menus().breakpoints->trigger(); });
    QTimer::singleShot(20, shell.window(), [&] {
      dialogOpen = QApplication::activeModalWidget() != nullptr;
      shell.window()->RequestClose();
    });
    EXPECT_EQ(shell.Run(), 0);
    EXPECT_TRUE(dialogOpen);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  }
  const WindowSettings kept = SettingsStore(settings).Load();
  EXPECT_EQ(kept.zoom, 5);
  EXPECT_EQ(kept.speed, Speed::Quadruple);
  EXPECT_EQ(std::filesystem::path(kept.lastRom.toStdString()), std::filesystem::absolute(rom.path()));

  // The next run starts as the last one ended.
  Shell again(options);
  ASSERT_TRUE(again.Create());
  EXPECT_EQ(again.window()->zoom(), 5);
  EXPECT_EQ(again.speedClock().speed(), Speed::Quadruple);
  EXPECT_TRUE(again.window()->menus().SpeedItem(Speed::Quadruple)->isChecked());
  again.window()->menus().quit->trigger();
  EXPECT_TRUE(again.window()->CloseRequested());
}

}  // namespace
}  // namespace pellux
