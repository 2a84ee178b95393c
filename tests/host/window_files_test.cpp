// File > Recent, the File menu's keys and the status line's messages, as a
// user meets them in the window.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <set>

#include "host/key_translation.h"
#include "host/main_window.h"
#include "host/recent_files.h"
#include "host/settings_store.h"
#include "host/shell.h"
#include "host/status_line.h"
#include "machine/calculator.h"
#include "tests/host/shell_fixture.h"
#include "tests/host/test_roms.h"

namespace pellux {
namespace {

using test::ShellFixture;

QStringList ItemTexts(const QMenu& menu) {
  QStringList texts;
  for (const QAction* action : menu.actions()) {
    if (!action->isSeparator()) texts << action->text();
  }
  return texts;
}

QAction* Item(const QMenu& menu, const QString& text) {
  for (QAction* action : menu.actions()) {
    if (action->text() == text) return action;
  }
  return nullptr;
}

// The menu as it shows when opened, each file looked for again.
const QMenu& OpenedRecent(MainWindow& window) {
  emit window.menus().recent->aboutToShow();
  return *window.menus().recent;
}

void Choose(MainWindow& window, const QString& text) {
  QAction* item = Item(OpenedRecent(window), text);
  ASSERT_NE(item, nullptr) << text.toStdString();
  item->trigger();
  QCoreApplication::processEvents();  // after the menu has closed
}

bool NoKeyDown(const Calculator& calc) {
  for (const std::uint8_t row : calc.keyMatrix) {
    if (row != 0xFF) return false;
  }
  return calc.keyMatrix.size() > 0;
}

QString Absolute(const QString& path) { return QFileInfo(path).absoluteFilePath(); }

TEST(Recent, ListsTheFilesOpenedAndSavedLastFirstAndTheMissingOnesAsSuch) {
  ShellFixture f(test::SleepingRom(false));
  ASSERT_TRUE(f.created);
  MainWindow& w = f.window();
  QStringList warnings;
  w.showWarning = [&](const QString& text) { warnings << text; };
  QString answer;
  w.chooseSaveFile = [&](FileKind, const QString&) { return answer; };
  w.chooseOpenFile = [&](FileKind, const QString&) { return answer; };
  const QString first = Absolute(QString::fromStdString(f.shell().romPath().string()));
  const QString firstName = QFileInfo(first).fileName();
  EXPECT_EQ(ItemTexts(OpenedRecent(w)).first(), "&1 " + firstName) << "the image running from the start";

  QTemporaryDir dir;
  const QString state = dir.filePath("first.state");
  answer = state;
  w.menus().saveState->trigger();
  const QString other = dir.filePath("other.rom");
  {
    const auto bytes = test::SleepingRom(true);
    QFile file(other);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  }
  answer = other;
  w.menus().openRom->trigger();
  ASSERT_EQ(f.shell().recentFiles()->Files(), (QStringList{other, state, first}));
  EXPECT_EQ(ItemTexts(OpenedRecent(w)), (QStringList{"&1 other.rom", "&2 first.state", "&3 " + firstName,
                                                     "Remove &Missing Files", "&Clear List"}));
  EXPECT_FALSE(Item(OpenedRecent(w), "Remove &Missing Files")->isEnabled()) << "none is missing";
  EXPECT_EQ(Item(OpenedRecent(w), "&1 other.rom")->toolTip(), other) << "the whole path";

  // A file gone since: shown as missing, and choosing it takes it off.
  ASSERT_TRUE(QFile::remove(state));
  EXPECT_EQ(ItemTexts(OpenedRecent(w)).mid(0, 3),
            (QStringList{"&1 other.rom", "&2 first.state (missing)", "&3 " + firstName}));
  EXPECT_TRUE(Item(OpenedRecent(w), "Remove &Missing Files")->isEnabled());
  Choose(w, "&2 first.state (missing)");
  EXPECT_EQ(f.shell().recentFiles()->Files(), (QStringList{other, first}));
  EXPECT_TRUE(warnings.isEmpty()) << warnings.join("; ").toStdString();

  // Choosing one opens it, and it goes first; the list outlives the run.
  Choose(w, "&2 " + firstName);
  EXPECT_EQ(f.window().statusLine().RomText(), firstName);
  EXPECT_EQ(f.shell().recentFiles()->Files(), (QStringList{first, other}));
  EXPECT_EQ(SettingsStore(f.settingsFile()).RecentFiles(), (QStringList{first, other}));

  ASSERT_TRUE(QFile::remove(other));
  Choose(w, "Remove &Missing Files");
  EXPECT_EQ(f.shell().recentFiles()->Files(), (QStringList{first}));
  Choose(w, "&Clear List");
  EXPECT_EQ(ItemTexts(OpenedRecent(w)), (QStringList{"No recent files"}));
}

TEST(Recent, KeepsTheLastTenEachOnce) {
  QStringList files;
  for (int i = 0; i < 12; ++i) files = WithRecentFile(files, QStringLiteral("/roms/%1.rom").arg(i));
  ASSERT_EQ(files.size(), kRecentFilesKept);
  EXPECT_EQ(files.front(), "/roms/11.rom");
  EXPECT_EQ(files.back(), "/roms/2.rom");
  files = WithRecentFile(files, QStringLiteral("/roms/x/../5.rom"));
  EXPECT_EQ(files.front(), "/roms/5.rom") << "the same file, moved first";
  EXPECT_EQ(files.size(), kRecentFilesKept);
  EXPECT_EQ(files.count("/roms/5.rom"), 1);
  EXPECT_EQ(RecentItemText(0, "/a/R&D.rom", false), "&1 R&&D.rom");
  EXPECT_EQ(RecentItemText(9, "/a/ti.state", true), "ti.state (missing)");
}

// The keys of Open ROM, the states and Save Screenshot press no calculator
// key: neither does any other of the menus' keys but Quit's.
TEST(FileKeys, EachOpensItsDialogAndNoCalculatorKeyGoesDown) {
  ShellFixture f(test::SleepingRom(false));
  ASSERT_TRUE(f.created);
  MainWindow& w = f.window();
  std::vector<FileKind> asked;
  w.chooseSaveFile = [&](FileKind kind, const QString&) {
    asked.push_back(kind);
    return QString();
  };
  w.chooseOpenFile = [&](FileKind kind, const QString&) {
    asked.push_back(kind);
    return QString();
  };
  w.show();
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  const struct {
    QAction* item;
    FileKind dialog;
  } items[] = {{w.menus().openRom, FileKind::Rom},
               {w.menus().saveState, FileKind::State},
               {w.menus().loadState, FileKind::State},
               {w.menus().saveScreenshot, FileKind::Screenshot}};
  std::set<QKeySequence> keys;
  for (const auto& item : items) {
    SCOPED_TRACE(item.item->text().toStdString());
    const QKeySequence key = item.item->shortcut();
    ASSERT_EQ(key.count(), 1);
    EXPECT_TRUE(IsFreeForShortcut(key[0])) << key.toString().toStdString() << " is a calculator key";
    keys.insert(key);
    asked.clear();
    QTest::keyClick(&w, key[0].key(), key[0].keyboardModifiers());
    for (int i = 0; i < 5; ++i) f.shell().Pass();
    EXPECT_EQ(asked, std::vector<FileKind>{item.dialog}) << key.toString().toStdString();
    EXPECT_TRUE(NoKeyDown(f.calc()));
  }
  EXPECT_EQ(keys.size(), 4u) << "four keys";
}

// What the host key table gives the calculator is no shortcut; Alt
// combinations and keys the table lacks are.
TEST(FileKeys, TheFreeKeysAreThoseTheCalculatorNeverSees) {
  const struct {
    QKeyCombination key;
    bool free;
  } cases[] = {
      {Qt::ALT | Qt::Key_O, true},
      {Qt::ALT | Qt::SHIFT | Qt::Key_S, true},
      {Qt::Key_ScrollLock, true},
      {Qt::CTRL | Qt::Key_O, false},  // diamond and O
      {Qt::SHIFT | Qt::Key_Print, false},
      {Qt::Key_F1, false},
      {Qt::Key_Escape, false},
      {Qt::Key_F11, false},  // the debugger's
      {Qt::Key_Pause, false},
      {Qt::Key_F10, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsFreeForShortcut(c.key), c.free) << QKeySequence(c.key).toString().toStdString();
  }
}

TEST(StatusLine, ALongMessageKeepsItsOwnFieldApartFromTheState) {
  ShellFixture f(test::SleepingRom(false));
  ASSERT_TRUE(f.created);
  MainWindow& w = f.window();
  w.ChangeZoom(1);  // the narrowest line
  w.show();
  QCoreApplication::processEvents();
  const int widthBefore = w.width();
  const QString message =
      "Opened /home/someone/a/very/long/folder/name/that/goes/on/and/on/for/ever/ti92plus-image.rom; "
      "the image is only zeros: probably not a calculator's ROM";
  w.statusLine().ShowMessage(message);
  for (int i = 0; i < 5; ++i) f.shell().Pass();
  QCoreApplication::processEvents();
  const StatusLine& status = w.statusLine();
  const ElidedLabel& text = status.textField();
  const QLabel& state = status.stateField();
  EXPECT_EQ(state.text(), "Asleep");
  EXPECT_TRUE(state.isVisible());
  EXPECT_LT(text.geometry().right(), state.geometry().left()) << "apart from the state";
  EXPECT_GE(state.geometry().left() - text.geometry().right(), state.fontMetrics().averageCharWidth())
      << "with room between them";
  EXPECT_EQ(text.toolTip(), message) << "whole in the tooltip";
  EXPECT_NE(text.text(), message) << "cut to fit";
  EXPECT_LE(text.fontMetrics().horizontalAdvance(text.text()), text.contentsRect().width());
  EXPECT_TRUE(text.text().startsWith("Opened") && text.text().endsWith("ROM"))
      << "cut in the middle: " << text.text().toStdString();
  EXPECT_EQ(w.width(), widthBefore) << "the window does not widen for it";
  EXPECT_FALSE(status.RomNameShown());
}

}  // namespace
}  // namespace pellux
