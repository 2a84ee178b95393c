// The Debug and Breakpoints dialogs on the offscreen platform, driven through
// their widgets as a user would, and the window's ways into them.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "host/breakpoints_dialog.h"
#include "host/debug_dialog.h"
#include "host/debugger_hook.h"
#include "host/listing_font.h"
#include "tests/host/dialog_driving.h"
#include "tests/host/known_fonts.h"
#include "tests/host/shell_fixture.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::CalculatorFixture;
using test::LevelHandler;
using test::NopRom;
using test::RomBuilder;
using test::ShellFixture;
using test::Button;
using test::Child;
using test::Line;
using test::Lines;
using test::Listing;
using test::Memory;
using test::Message;
using test::ModalDriver;
using test::Registers;
using test::RoomForLines;
using test::ShowAndSettle;
using test::StopLine;

constexpr std::uint32_t kRamCode = 0x1000;
constexpr std::uint32_t kFlashCode = 0x401230;

// A small program in RAM at kRamCode: instructions of 2, 4, 6, 8 and 10 bytes.
const std::initializer_list<std::uint16_t> kRamProgram = {
    0x4E71,                                  // nop
    0x7205,                                  // moveq #5, d1
    0x303C, 0x1234,                          // move.w #0x1234, d0
    0x41F9, 0x0040, 0x0000,                  // lea 400000, a0
    0x33FC, 0x0001, 0x0060, 0x0015,          // move.w #1, 600015
    0x23FC, 0x1234, 0x5678, 0x0000, 0x4C00,  // move.l #0x12345678, 4c00
    0xA000,                                  // not an instruction
};

void PokeRam(Calculator& calc, std::uint32_t address, std::initializer_list<std::uint16_t> words) {
  for (const std::uint16_t word : words) {
    calc.ram[address++] = static_cast<std::uint8_t>(word >> 8);
    calc.ram[address++] = static_cast<std::uint8_t>(word);
  }
}

// The NOP image with the RAM program and four words of code in flash, and
// the level handlers of NopRom.
struct DebugFixture : CalculatorFixture {
  DebugFixture() : CalculatorFixture(NopRom().Code(kFlashCode, {0x4E71, 0x4E71, 0x4E71, 0x4E75})) {
    PokeRam(*calc, kRamCode, kRamProgram);
  }
};

TEST(DebugDialog, ListsFromThePcOutOfTheRamAndFlashImages) {
  struct Case {
    const char* what;
    std::uint32_t pc;
    std::vector<std::uint32_t> breakpoints;
    std::vector<std::string> first;  // the first lines
    int lines;                       // -1: as many as the box has room for
  };
  const Case cases[] = {
      {"RAM",
       kRamCode,
       {},
       {" 001000: 4e71             nop      ", " 001002: 7205             moveq    #5, d1",
        " 001004: 303c 1234        move.w   #0x1234, d0", " 001008: 41f9 0040 0000   lea      400000, a0",
        " 00100e: 33fc 0001 0060 0015  move.w   #1, 600015",
        " 001016: 23fc 1234 5678 0000 4c00 move.l   #0x12345678, 4c00",
        " 001020: a000             ?        "},
       -1},
      {"an odd PC lists from one byte lower", kRamCode + 1, {}, {" 001000: 4e71             nop      "}, -1},
      {"a breakpoint on a flash line, and none on others",
       kFlashCode,
       {0x401234, 0x401235, 0x1401234, 0x001232},
       {" 401230: 4e71             nop      ", " 401232: 4e71             nop      ",
        "!401234: 4e71             nop      ", " 401236: 4e75             rts      "},
       -1},
      {"the last word of RAM", 0x03FFFE, {}, {" 03fffe: 0000             ori.b    #0, d0"}, 1},
      {"the last word of flash", 0x5FFFFE, {}, {" 5ffffe: 0000             ori.b    #0, d0"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DebugFixture f;
    f.calc->cpu.pc = c.pc;
    for (const std::uint32_t address : c.breakpoints) f.calc->breakpoints.Toggle(address);
    DebugDialog dialog(nullptr, *f.calc, false);
    ShowAndSettle(dialog);
    const QStringList lines = Lines(Listing(dialog));
    ASSERT_GE(lines.size(), static_cast<qsizetype>(c.first.size()));
    for (std::size_t i = 0; i < c.first.size(); ++i)
      EXPECT_EQ(lines[static_cast<int>(i)].toStdString(), c.first[i]);
    EXPECT_EQ(lines.size(), c.lines < 0 ? RoomForLines(Listing(dialog)) : c.lines);
    EXPECT_EQ(lines.filter(QRegularExpression(QStringLiteral("^!"))).size(), c.pc == kFlashCode ? 1 : 0);
  }
}

TEST(DebugDialog, ListingNeverGoesThroughTheBus) {
  DebugFixture f;
  // The bus would read all ones from the flash now.
  f.calc->flashState = FlashState::StatusRead;
  f.calc->cpu.pc = kFlashCode;
  DebugDialog dialog(nullptr, *f.calc, false);
  ShowAndSettle(dialog);
  EXPECT_EQ(Line(Listing(dialog), 3), " 401236: 4e75             rts      ");
  EXPECT_EQ(f.calc->flashState, FlashState::StatusRead);
}

TEST(DebugDialog, BothListsUseTheFixedFontAt10Points) {
  if (!test::LoadKnownFonts().found()) GTEST_SKIP() << test::kNoKnownFonts;
  ShellFixture shell;  // the window's font, through the machine
  DebugFixture bare;   // a host without one: the dialog makes its own
  std::set<QString> families = {QFontInfo(shell.window().listingFont()).family()};
  for (Calculator* calc : {&shell.calc(), bare.calc.get()}) {
    DebugDialog dialog(nullptr, *calc, false);
    for (const QListWidget* list : {&Listing(dialog), &Registers(dialog), &Memory(dialog)}) {
      const QFontInfo font(list->font());
      EXPECT_TRUE(font.fixedPitch()) << font.family().toStdString();
      EXPECT_EQ(list->font().pointSize(), 10);
      families.insert(font.family());
    }
  }
  EXPECT_EQ(families.size(), 1u) << "one font for the window and every list";
}

TEST(DebugDialog, RegisterAndFlagLines) {
  struct Case {
    std::uint8_t c, v, z, n, x;
    const char* sr;
    const char* flags;
  };
  const Case cases[] = {
      {1, 1, 1, 1, 1, "SR:201f", "C:1 V:1 Z:1 N:1 X:1"},
      {0, 0, 0, 0, 0, "SR:2000", "C:0 V:0 Z:0 N:0 X:0"},
      {1, 0, 1, 0, 1, "SR:2015", "C:1 V:0 Z:1 N:0 X:1"},
  };
  for (const Case& c : cases) {
    DebugFixture f;
    CpuState& cpu = f.calc->cpu;
    for (unsigned i = 0; i < 16; ++i) cpu.regs[i] = 0x01010101u * i + (i == 0 ? 0xFFFFFFFF : 0);
    cpu.pc = 0x00401230;
    cpu.SetFlagC(c.c), cpu.SetFlagV(c.v), cpu.SetFlagZ(c.z), cpu.SetFlagN(c.n), cpu.SetFlagX(c.x);
    cpu.otherSp = 0x20000;
    DebugDialog dialog(nullptr, *f.calc, false);
    const QStringList expected = {
        "D0:ffffffff", "D1:01010101", "D2:02020202", "D3:03030303", "D4:04040404", "D5:05050505",
        "D6:06060606", "D7:07070707", "A0:08080808", "A1:09090909", "A2:0a0a0a0a", "A3:0b0b0b0b",
        "A4:0c0c0c0c", "A5:0d0d0d0d", "A6:0e0e0e0e", "A7:0f0f0f0f", "PC:00401230", c.sr,
        "T:0 S:1 Mask:0", c.flags,       "USP:00020000", "SSP:0f0f0f0f",
    };
    EXPECT_EQ(Lines(Registers(dialog)), expected);
  }
}

TEST(DebugDialog, StepRunsOneInstructionPastABreakpointAndRefreshesBothViews) {
  DebugFixture f;
  f.calc->cpu.pc = kRamCode;
  f.calc->breakpoints.Toggle(kRamCode);
  f.calc->breakpoints.Toggle(kRamCode + 2);
  DebugDialog dialog(nullptr, *f.calc, false);
  ShowAndSettle(dialog);
  const int lines = Listing(dialog).count();
  EXPECT_EQ(Line(Listing(dialog), 0), "!001000: 4e71             nop      ");

  QTest::mouseClick(&Button(dialog, "step"), Qt::LeftButton);
  EXPECT_EQ(f.calc->cpu.pc, kRamCode + 2) << "the breakpoint under the PC is not consulted";
  EXPECT_EQ(Line(Listing(dialog), 0), "!001002: 7205             moveq    #5, d1");
  EXPECT_EQ(Listing(dialog).count(), lines);
  EXPECT_EQ(Line(Registers(dialog), 16), "PC:00001002");

  QTest::mouseClick(&Button(dialog, "step"), Qt::LeftButton);
  EXPECT_EQ(f.calc->cpu.pc, kRamCode + 4);
  EXPECT_EQ(Line(Registers(dialog), 1), "D1:00000005");
  EXPECT_EQ(Line(Listing(dialog), 0), " 001004: 303c 1234        move.w   #0x1234, d0");
  EXPECT_TRUE(dialog.isVisible());
}

TEST(DebugDialog, AProtectedWriteDuringStepRaisesLevel7) {
  DebugFixture f;
  Calculator& calc = *f.calc;
  PokeRam(calc, kRamCode, {0x31C0, 0x0100});  // move.w d0, 0100.w
  calc.ports[port::kProtection] |= 0x04;
  calc.cpu.pc = kRamCode;
  calc.cpu.intMask = 3;
  calc.cpu.regs[0] = 0xBEEF;
  DebugDialog dialog(nullptr, calc, false);
  ShowAndSettle(dialog);
  QTest::mouseClick(&Button(dialog, "step"), Qt::LeftButton);
  EXPECT_EQ(calc.cpu.pc, LevelHandler(7));
  EXPECT_EQ(calc.cpu.intMask, 7);
  EXPECT_EQ(test::StackedPc(calc), kRamCode + 4) << "taken after the writing instruction";
  EXPECT_EQ(calc.ram[0x100], 0) << "the write was dropped";
  EXPECT_EQ(Line(Listing(dialog), 0), " 44e000: 4e71             nop      ");
  EXPECT_EQ(Line(Registers(dialog), 16), "PC:0044e000");
}

TEST(DebugDialog, EnterPressesOnlyTheFocusedButton) {
  struct Case {
    const char* focus;
    std::uint32_t pcAfter;
    bool stillOpen;
  };
  const Case cases[] = {
      {"listing", kRamCode, true},  {"registers", kRamCode, true}, {"breakOnKeypress", kRamCode, true},
      {"memory", kRamCode, true},   {"listingAddress", kRamCode, true},
      {"step", kRamCode + 4, true},  // twice: Return, then Enter
      {"stepOver", kRamCode + 4, true},
      {"go", kRamCode, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.focus);
    DebugFixture f;
    f.calc->cpu.pc = kRamCode;
    DebugDialog dialog(nullptr, *f.calc, false);
    ShowAndSettle(dialog);
    QWidget& focus = Child<QWidget>(dialog, c.focus);
    focus.setFocus();
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
      if (!dialog.isVisible()) break;
      QTest::keyClick(&focus, key);
    }
    EXPECT_EQ(f.calc->cpu.pc, c.pcAfter);
    EXPECT_EQ(dialog.isVisible(), c.stillOpen);
  }
}

TEST(DebugDialog, LineCountFollowsTheListingsHeight) {
  CalculatorFixture f(NopRom());
  DebugDialog dialog(nullptr, *f.calc, false);
  ShowAndSettle(dialog);
  QListWidget& listing = Listing(dialog);
  // Heights from the least the dialog takes, which grows with the font's lines.
  const int least = dialog.minimumHeight();
  std::set<int> counts;
  for (const int height : {0, least + 440, least, least + 740}) {
    if (height) dialog.resize(dialog.width(), height);
    QCoreApplication::processEvents();
    SCOPED_TRACE(testing::Message() << "viewport height " << listing.viewport()->height());
    const int count = listing.count();
    ASSERT_GT(count, 0);
    EXPECT_EQ(count, RoomForLines(listing));
    EXPECT_LT(listing.visualItemRect(listing.item(count - 1)).bottom(), listing.viewport()->height())
        << "the last line shows whole";
    if (height) counts.insert(count);  // as opened, it may be the least
  }
  EXPECT_EQ(counts.size(), 3u) << "each height its own count";
}

TEST(DebugDialog, LayoutHasTheListingWideOnTheLeftAndTheControlsBelow) {
  if (!test::LoadKnownFonts().found()) GTEST_SKIP() << test::kNoKnownFonts;
  CalculatorFixture f(NopRom());
  DebugDialog dialog(nullptr, *f.calc, false);
  ShowAndSettle(dialog);
  EXPECT_EQ(dialog.windowTitle(), "Debug");
  const QRect listing = Listing(dialog).geometry(), registers = Registers(dialog).geometry();
  EXPECT_LT(listing.right(), registers.left());
  EXPECT_GT(listing.width(), 2 * registers.width());
  const QRect box = Child<QCheckBox>(dialog, "breakOnKeypress").geometry();
  EXPECT_EQ(Child<QCheckBox>(dialog, "breakOnKeypress").text(), "Break on &keypress");
  EXPECT_GT(box.top(), listing.bottom());
  int left = -1;
  for (const auto& [name, text] :
       {std::pair{"step", "&Step"}, {"stepOver", "Step &Over"}, {"stepOut", "Step O&ut"},
        {"runToCursor", "Run to &Cursor"}, {"breakpoint", "&Breakpoint"}, {"go", "&Go"}}) {
    const QPushButton& button = Button(dialog, name);
    EXPECT_EQ(button.text(), text);
    EXPECT_GT(button.geometry().top(), box.bottom()) << name;
    EXPECT_GT(button.geometry().left(), left) << name << " in order, left to right";
    left = button.geometry().left();
    EXPECT_FALSE(button.isDefault()) << name;
  }
  // The widest register line shows in full.
  const QListWidget& regs = Registers(dialog);
  ASSERT_EQ(regs.count(), 22);
  for (int row = 0; row < regs.count(); ++row) {
    EXPECT_LE(regs.visualItemRect(regs.item(row)).right(), regs.viewport()->width()) << row;
    EXPECT_LE(regs.visualItemRect(regs.item(row)).bottom(), regs.viewport()->height()) << row;
  }
  // The memory view below the listing, as wide as the dialog, its lines whole.
  const QListWidget& memory = Memory(dialog);
  EXPECT_GT(memory.geometry().top(), listing.bottom());
  EXPECT_LT(memory.geometry().bottom(), box.top());
  ASSERT_GT(memory.count(), 0);
  EXPECT_LE(QFontMetrics(memory.font()).horizontalAdvance(memory.item(0)->text()), memory.viewport()->width());
  EXPECT_GT(StopLine(dialog).size(), 0);
  EXPECT_LT(Child<QLabel>(dialog, "stopReason").geometry().bottom(), listing.top());
}

// Shrunk as far as it goes, with a message over two lines, the dialog still
// shows every register line whole (SR and the flags too) clear of the memory
// bar, and the listing keeps the most room.
TEST(DebugDialog, AtItsSmallestTheRegistersShowWholeAndTheListingHasTheRoom) {
  for (const bool held : {false, true}) {
    SCOPED_TRACE(held ? "with gdb's message" : "without a message");
    CalculatorFixture f(NopRom());
    DebugDialog dialog(nullptr, *f.calc, false);
    dialog.SetHeldElsewhere(held);
    ShowAndSettle(dialog);
    dialog.resize(dialog.minimumSize().expandedTo(dialog.minimumSizeHint()));
    dialog.resize(1, 1);  // the window manager can go no smaller than the minimum
    QCoreApplication::processEvents();
    const QListWidget& regs = Registers(dialog);
    ASSERT_EQ(regs.count(), 22);
    for (int row = 0; row < regs.count(); ++row) {
      const QRect line = regs.visualItemRect(regs.item(row));
      EXPECT_LE(line.bottom(), regs.viewport()->height()) << regs.item(row)->text().toStdString();
      EXPECT_LE(line.right(), regs.viewport()->width()) << regs.item(row)->text().toStdString();
    }
    const QRect registers = regs.geometry();
    EXPECT_LT(registers.bottom(), Child<QComboBox>(dialog, "follow").geometry().top())
        << "clear of the memory bar";
    EXPECT_LT(registers.bottom(), Memory(dialog).geometry().top());
    const QRect listing = Listing(dialog).geometry();
    EXPECT_GT(listing.width(), 2 * registers.width());
    EXPECT_GT(listing.height(), Memory(dialog).geometry().height()) << "the listing has the room";
    const QLabel& message = Child<QLabel>(dialog, "message");
    EXPECT_GE(message.height(), message.heightForWidth(message.width())) << "the message whole";
    EXPECT_GT(message.geometry().top(), Memory(dialog).geometry().bottom());
  }
}

// The Debug dialog as the window opens it: the check box goes back to the
// flag however the dialog ends.
TEST(OpenDebugger, TheCheckBoxIsWrittenBackHoweverTheDialogEnds) {
  enum class End { Go, Esc, CloseBox };
  struct Case {
    bool before;
    bool click;
    End end;
    bool after;
  };
  const Case cases[] = {
      {0, true, End::Go, 1},        {1, true, End::Go, 0},       {0, true, End::Esc, 1},
      {1, true, End::Esc, 0},       {0, true, End::CloseBox, 1}, {1, false, End::Esc, 1},
      {0, false, End::CloseBox, 0},
  };
  DebugFixture f;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.before << (c.click ? " clicked" : "") << " end "
                                    << static_cast<int>(c.end));
    bool shownChecked = false;
    ModalDriver driver(QStringLiteral("Debug"), [&](QDialog& dialog) {
      auto& box = Child<QCheckBox>(dialog, "breakOnKeypress");
      shownChecked = box.isChecked();
      if (c.click) QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(4, box.height() / 2));
      switch (c.end) {
        case End::Go:
          QTest::mouseClick(&Button(dialog, "go"), Qt::LeftButton);
          break;
        case End::Esc:
          QTest::keyClick(&dialog, Qt::Key_Escape);
          break;
        case End::CloseBox:
          dialog.close();
          break;
      }
    });
    bool flag = c.before;
    DebugSession session;
    OpenDebugger(nullptr, *f.calc, flag, session);
    EXPECT_EQ(driver.openings, 1);
    EXPECT_EQ(shownChecked, c.before);
    EXPECT_EQ(flag, c.after);
  }
}

TEST(DebugDialog, BreakpointButtonOpensTheBreakpointsDialogAndLeavesTheViews) {
  DebugFixture f;
  f.calc->cpu.pc = kRamCode;
  DebugDialog dialog(nullptr, *f.calc, false);
  ShowAndSettle(dialog);
  QWidget* owner = nullptr;
  ModalDriver driver(QStringLiteral("Breakpoints"), [&](QDialog& breakpoints) {
    owner = breakpoints.parentWidget();
    auto& edit = Child<QLineEdit>(breakpoints, "address");
    for (const char* address : {"1000", "1002"}) {
      edit.clear();
      QTest::keyClicks(&edit, QString::fromLatin1(address));
      QTest::keyClick(&edit, Qt::Key_Return);
    }
    QTest::keyClick(&breakpoints, Qt::Key_Escape);
  });
  QTest::mouseClick(&Button(dialog, "breakpoint"), Qt::LeftButton);
  EXPECT_EQ(driver.openings, 1);
  EXPECT_EQ(owner, &dialog);
  EXPECT_TRUE(f.calc->breakpoints.Contains(kRamCode));
  EXPECT_TRUE(f.calc->breakpoints.Contains(kRamCode + 2));
  EXPECT_EQ(Line(Listing(dialog), 0), "!001000: 4e71             nop      ") << "the markers show at once";
  EXPECT_EQ(Line(Listing(dialog), 1), "!001002: 7205             moveq    #5, d1");
  EXPECT_TRUE(Line(Listing(dialog), 2).startsWith(' '));
  EXPECT_TRUE(dialog.isVisible());
}

// The Breakpoints dialog on a set of its own.
struct BreakpointsRig {
  explicit BreakpointsRig(SymbolTable table = {})
      : symbols(std::move(table)), dialog(nullptr, set, FixedListingFont(), symbols) {
    ShowAndSettle(dialog);
  }
  QLineEdit& edit() { return Child<QLineEdit>(dialog, "address"); }
  QListWidget& list() { return Child<QListWidget>(dialog, "breakpoints"); }
  // Types the text over the edit's and presses Enter.
  void Enter(const QString& text) {
    edit().clear();
    for (const QChar c : text) {
      // A key of its own for each character, letters beyond ASCII included.
      QTest::sendKeyEvent(QTest::Click, &edit(), static_cast<Qt::Key>(c.toUpper().unicode()), QString(c), {});
    }
    QTest::keyClick(&edit(), Qt::Key_Return);
  }
  std::vector<std::uint32_t> Addresses() const { return {set.begin(), set.end()}; }
  int TopIndex() { return list().indexAt(QPoint(1, 1)).row(); }

  BreakpointSet set;
  SymbolTable symbols;
  BreakpointsDialog dialog;
};

TEST(BreakpointsDialog, TheEditTakesHexOrASymbolRefusesTheRestAndWarnsAloud) {
  const std::string odd =
      " is odd: instructions start at even addresses, so the processor never stops there.";
  const std::string beyond =
      " is beyond 00ffffff, the last address of the processor's 24 address lines: code there runs from ";
  const std::string topBits = ", and the processor stops here only after a jump that set the top bits.";
  struct Case {
    const char* typed;
    std::vector<std::uint32_t> set;
    std::string message;  // shown under the edit: a refusal, a warning, or nothing
  };
  const Case cases[] = {
      {"1234", {0x1234}, ""},
      {"0x1234", {0x1234}, ""},
      {" 12", {0x12}, ""},
      {"aBcE", {0xABCE}, ""},
      {"00fffffe", {0xFFFFFE}, ""},
      {"00000000", {0}, ""},
      {"draw_text", {0x401240}, ""},
      {"draw_text+6", {0x401246}, ""},
      // Added, with the reason the processor will hardly stop there.
      {"401241", {0x401241}, "00401241" + odd},
      {"draw_text+1", {0x401241}, "00401241" + odd},
      {"1400000", {0x1400000}, "01400000" + beyond + "00400000" + topBits},
      {"ABCDEF01", {0xABCDEF01}, "abcdef01" + odd + " abcdef01" + beyond + "00cdef01" + topBits},
      // Refused: the text stays to be mended.
      {"", {}, "Type a hex address or a symbol's name."},
      {"12zz", {}, "\"12zz\" is neither a hex address nor a known symbol."},
      {"xyz", {}, "\"xyz\" is neither a hex address nor a known symbol."},
      {"123456789", {}, "\"123456789\" is neither a hex address nor a known symbol."},
      {"12\xc3\xa9", {}, "\"12\xc3\xa9\" is neither a hex address nor a known symbol."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    BreakpointsRig rig(SymbolTable({{"draw_text", 0x401240, 0x20}}));
    rig.Enter(QString::fromUtf8(c.typed));
    const bool added = !c.set.empty();
    EXPECT_EQ(rig.edit().text(), added ? QString() : QString::fromUtf8(c.typed).left(rig.edit().maxLength()))
        << "an add empties the edit, a refusal keeps the text";
    EXPECT_EQ(rig.Addresses(), c.set);
    EXPECT_EQ(rig.list().count(), static_cast<int>(c.set.size()));
    EXPECT_EQ(Message(rig.dialog), QString::fromStdString(c.message));
    EXPECT_TRUE(rig.dialog.isVisible());
  }
  // A good entry clears the refusal or the warning; a removal keeps the
  // address in the edit, so that the next Add/Remove puts it back.
  BreakpointsRig rig;
  rig.Enter(QStringLiteral("zz"));
  EXPECT_FALSE(Message(rig.dialog).isEmpty());
  rig.Enter(QStringLiteral("2001"));
  EXPECT_FALSE(Message(rig.dialog).isEmpty());
  rig.Enter(QStringLiteral("2000"));
  EXPECT_TRUE(Message(rig.dialog).isEmpty());
  rig.Enter(QStringLiteral("2001"));
  EXPECT_EQ(rig.Addresses(), std::vector<std::uint32_t>{0x2000});
  EXPECT_TRUE(Message(rig.dialog).isEmpty()) << "no warning for a removal";
  EXPECT_EQ(rig.edit().text(), "2001");
}

TEST(BreakpointsDialog, EachBreakpointShowsItsSymbol) {
  BreakpointsRig rig(SymbolTable({{"main", 0x400044, 0x10}, {"draw_text", 0x401240, 0x20}}));
  for (const char* entry : {"main", "401250", "3000", "draw_text"}) rig.Enter(QString::fromLatin1(entry));
  EXPECT_EQ(Lines(rig.list()),
            (QStringList{"00003000", "00400044  main", "00401240  draw_text", "00401250  draw_text+0x10"}));
  // Selecting a line puts its bare address in the edit.
  QListWidget& list = rig.list();
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(1)).center());
  EXPECT_EQ(rig.edit().text(), "00400044");
}

TEST(BreakpointsDialog, AddSelectAndRemoveRoundTrips) {
  BreakpointsRig rig;
  EXPECT_EQ(rig.dialog.windowTitle(), "Breakpoints");
  EXPECT_EQ(rig.list().font().pointSize(), 10);
  for (const char* address : {"3000", "1000", "402000", "1"}) rig.Enter(QString::fromLatin1(address));
  ASSERT_EQ(Lines(rig.list()), (QStringList{"00000001", "00001000", "00003000", "00402000"}));
  for (int row = 0; row < rig.list().count(); ++row) {
    EXPECT_EQ(rig.list().item(row)->data(Qt::UserRole).toUInt(),
              rig.Addresses()[static_cast<std::size_t>(row)]);
  }

  // Clicking a line fills the edit; Enter then removes exactly that address.
  QListWidget& list = rig.list();
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(2)).center());
  EXPECT_EQ(rig.edit().text(), "00003000");
  QTest::keyClick(&rig.edit(), Qt::Key_Return);
  EXPECT_EQ(rig.Addresses(), (std::vector<std::uint32_t>{0x1, 0x1000, 0x402000}));
  EXPECT_EQ(rig.edit().text(), "00003000");
  EXPECT_TRUE(list.selectedItems().isEmpty()) << "the refill clears the selection";

  // Moving the selection with the keyboard fills it too; Add/Remove by click.
  list.setFocus();
  QTest::keyClick(&list, Qt::Key_Down);
  const QString selected = list.selectedItems().value(0) ? list.selectedItems()[0]->text() : QString();
  EXPECT_EQ(rig.edit().text(), selected);
  QTest::mouseClick(&Button(rig.dialog, "addRemove"), Qt::LeftButton);
  EXPECT_EQ(rig.list().count(), 2);
  EXPECT_FALSE(rig.set.Contains(selected.toUInt(nullptr, 16)));

  // Again: back in.
  QTest::mouseClick(&Button(rig.dialog, "addRemove"), Qt::LeftButton);
  EXPECT_EQ(rig.list().count(), 3);
  EXPECT_TRUE(rig.set.Contains(selected.toUInt(nullptr, 16)));
  EXPECT_TRUE(Button(rig.dialog, "addRemove").isDefault());
}

TEST(BreakpointsDialog, AddRemoveKeepsTheTopIndexNotTheTopAddress) {
  BreakpointsRig rig;
  for (std::uint32_t address = 0x100; address < 0x100 + 60; ++address) rig.set.Toggle(address * 2);
  rig.Enter(QStringLiteral("1"));  // refills from the set
  ASSERT_EQ(rig.list().count(), 61);
  rig.list().scrollToItem(rig.list().item(20), QAbstractItemView::PositionAtTop);
  ASSERT_EQ(rig.TopIndex(), 20);
  const QString topBefore = Line(rig.list(), 20);

  rig.Enter(QStringLiteral("1"));  // removes the first line: the rows move up under the top
  EXPECT_EQ(rig.TopIndex(), 20);
  EXPECT_NE(Line(rig.list(), 20), topBefore);
  EXPECT_EQ(Line(rig.list(), 19), topBefore);

  rig.Enter(QStringLiteral("ffff"));  // appends: the top stays
  EXPECT_EQ(rig.TopIndex(), 20);
}

TEST(BreakpointsDialog, CloseAndEscEndIt) {
  for (const bool esc : {false, true}) {
    BreakpointsRig rig;
    rig.Enter(QStringLiteral("1234"));
    if (esc) {
      QTest::keyClick(&rig.edit(), Qt::Key_Escape);
    } else {
      QTest::mouseClick(&Button(rig.dialog, "close"), Qt::LeftButton);
    }
    EXPECT_FALSE(rig.dialog.isVisible());
    EXPECT_EQ(rig.Addresses(), std::vector<std::uint32_t>{0x1234}) << "closing keeps what was added";
  }
}

QAction* DebugItem(const MainWindow& window) {
  for (QAction* action : window.ContextMenu()->actions()) {
    if (action->text() == "&Debug...\tF11") return action;
  }
  return nullptr;
}

void SendKey(QWidget& w, QEvent::Type type, int key, std::uint64_t time) {
  QKeyEvent event(type, key, Qt::NoModifier, QString());
  event.setTimestamp(time);
  QCoreApplication::sendEvent(&w, &event);
}

// Each way in reaches the modal Debug dialog, and the machine stands still
// while it is up.
TEST(WindowDebugger, EveryWayInOpensTheDialogAndTheMachineWaits) {
  enum class Way { F11, MenuItem, Breakpoint, KeyWithBreakOnKeypress };
  for (const Way way : {Way::F11, Way::MenuItem, Way::Breakpoint, Way::KeyWithBreakOnKeypress}) {
    SCOPED_TRACE(static_cast<int>(way));
    ShellFixture f(NopRom().bytes(), true);
    ASSERT_TRUE(f.created);
    Calculator& calc = f.calc();
    std::uint32_t pcSeen = 0;
    bool stoodStill = true;
    int polls = 0;
    QPointer<QWidget> parent;
    ModalDriver driver(QStringLiteral("Debug"), [&](QDialog& dialog) {
      parent = dialog.parentWidget();
      pcSeen = calc.cpu.pc;
      const std::uint32_t ticks = calc.tickCount;
      // Let the event loop turn for a while under the dialog.
      auto* wait = new QTimer(&dialog);
      QObject::connect(wait, &QTimer::timeout, &dialog, [&, wait, ticks] {
        if (calc.cpu.pc != pcSeen || calc.tickCount != ticks) stoodStill = false;
        if (++polls < 10) return;
        wait->stop();
        QTest::mouseClick(&Button(dialog, "go"), Qt::LeftButton);
      });
      wait->start(2);
    });
    switch (way) {
      case Way::F11:
        SendKey(f.window(), QEvent::KeyPress, Qt::Key_F11, 1);
        f.shell().Pass();
        break;
      case Way::MenuItem:
        DebugItem(f.window())->trigger();
        break;
      case Way::Breakpoint:
        calc.breakpoints.Toggle(calc.cpu.pc + 6);
        for (int pass = 0; pass < 5 && driver.openings == 0; ++pass) f.shell().Pass();
        EXPECT_EQ(pcSeen, RomBuilder::kDefaultPc + 6);
        break;
      case Way::KeyWithBreakOnKeypress:
        f.window().breakOnKeypress = 1;
        SendKey(f.window(), QEvent::KeyPress, Qt::Key_A, 1);
        f.shell().Pass();
        break;
    }
    EXPECT_EQ(driver.openings, 1);
    EXPECT_EQ(f.debuggerOpened, 1);
    EXPECT_EQ(parent.data(), &f.window());
    EXPECT_GE(polls, 10);
    EXPECT_TRUE(stoodStill);
  }
}

// Go from a breakpoint runs its instruction and goes on: the breakpoint
// stops the machine again only when the loop comes round to it.
TEST(WindowDebugger, GoFromABreakpointRunsOn) {
  const std::uint32_t loop = RomBuilder::kDefaultPc;
  ShellFixture f(NopRom().Code(loop, {0x4E71, 0x4E71, 0x4E71, 0x60F8}).bytes(), true);  // 3 nops, bra.s loop
  ASSERT_TRUE(f.created);
  Calculator& calc = f.calc();
  const std::uint32_t stop = loop + 4;
  calc.breakpoints.Toggle(stop);
  std::vector<std::uint32_t> pcAtOpening;
  std::vector<std::uint64_t> countAtOpening;
  QStringList stopLines;
  ModalDriver driver(QStringLiteral("Debug"), [&](QDialog& dialog) {
    pcAtOpening.push_back(calc.cpu.pc);
    countAtOpening.push_back(calc.cpu.instructionCount);
    stopLines << StopLine(dialog);
    QTest::mouseClick(&Button(dialog, "go"), Qt::LeftButton);
  });
  for (int pass = 0; pass < 5 && driver.openings == 0; ++pass) f.shell().Pass();
  ASSERT_EQ(driver.openings, 1);
  f.shell().Pass();
  ASSERT_EQ(driver.openings, 2);
  EXPECT_EQ(pcAtOpening, (std::vector<std::uint32_t>{stop, stop}));
  // The breakpoint's nop, the branch and two nops: once round the loop.
  EXPECT_EQ(countAtOpening[1] - countAtOpening[0], 4u);
  EXPECT_EQ(stopLines[0], QStringLiteral("Breakpoint at %1").arg(stop, 6, 16, QLatin1Char('0')));
}

}  // namespace
}  // namespace pellux
