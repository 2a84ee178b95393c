// The Debug dialog's controls for program work, driven offscreen as a user
// would: Step Over, Step Out and Run to Cursor with the stop line, the
// listing's scrolling, labels, PC mark and breakpoint double-click, register
// edits and marks, the memory view, and the symbols the shell loads.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QWheelEvent>
#include <fstream>

#include "debugger/debug_session.h"
#include "host/debug_dialog.h"
#include "host/elided_label.h"
#include "host/main_window.h"
#include "host/register_view.h"
#include "host/shell.h"
#include "machine/errors.h"
#include "tests/host/dialog_driving.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::Button;
using test::CalculatorFixture;
using test::Child;
using test::Line;
using test::Listing;
using test::Memory;
using test::Message;
using test::NopRom;
using test::Registers;
using test::ShowAndSettle;
using test::StopLine;

constexpr std::uint32_t kMain = 0x2000;
constexpr std::uint32_t kSub = 0x200C;
constexpr std::uint32_t kIllegal = 0x2020;
constexpr std::uint32_t kMixed = 0x1000;  // instructions of 2 to 10 bytes

void PokeRam(Calculator& calc, std::uint32_t address, std::initializer_list<std::uint16_t> words) {
  for (const std::uint16_t word : words) {
    calc.ram[address++] = static_cast<std::uint8_t>(word >> 8);
    calc.ram[address++] = static_cast<std::uint8_t>(word);
  }
}

// main calls sub in RAM; the symbols name both; the dialog opens at main.
struct ProgramFixture : CalculatorFixture {
  ProgramFixture() : CalculatorFixture(NopRom()) {
    Calculator& c = *calc;
    PokeRam(c, kMain, {
                          0x6100, 0x000A,          // 2000 bsr.w   200c
                          0x7001,                  // 2004 moveq   #1, d0
                          0x4E71, 0x4E71, 0x4E71,  // 2006 nop x3
                          0x5281,                  // 200c addq.l  #1, d1
                          0x4E71,                  // 200e nop
                          0x4E75,                  // 2010 rts
                      });
    PokeRam(c, kIllegal, {0x4AFC});
    PokeRam(c, kMixed, {0x4E71, 0x7205, 0x303C, 0x1234, 0x41F9, 0x0040, 0x0000, 0x33FC, 0x0001, 0x0060, 0x0015,
                        0x23FC, 0x1234, 0x5678, 0x0000, 0x4C00, 0xA000});
    c.cpu.pc = kMain;
    session.symbols = SymbolTable({{"main", kMain, 0xC}, {"sub", kSub, 6}});
    session.reason = DebugStop{StopReason::UserBreak, kMain};
  }
  DebugSession session;
};

struct DialogRig : ProgramFixture {
  DialogRig() : dialog(nullptr, *calc, false, &session) { ShowAndSettle(dialog); }
  void Click(const char* button) { QTest::mouseClick(&Button(dialog, button), Qt::LeftButton); }
  // Types into a named edit and presses Enter.
  void Enter(const char* edit, const QString& text) {
    auto& line = Child<QLineEdit>(dialog, edit);
    line.setText(text);
    QTest::keyClick(&line, Qt::Key_Return);
  }
  std::uint32_t FirstListedAddress() {
    QListWidget& listing = Listing(dialog);
    for (int row = 0; row < listing.count(); ++row) {
      const QVariant address = listing.item(row)->data(Qt::UserRole);
      if (address.isValid()) return address.toUInt();
    }
    return 0xFFFFFFFF;
  }
  int RowOf(QListWidget& list, std::uint32_t address) {
    for (int row = 0; row < list.count(); ++row) {
      const QVariant data = list.item(row)->data(Qt::UserRole);
      if (data.isValid() && data.toUInt() == address) return row;
    }
    ADD_FAILURE() << "no line for " << std::hex << address;
    return 0;
  }
  void DoubleClick(QListWidget& list, int row) {
    const QPoint at = list.visualItemRect(list.item(row)).center();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
    QCoreApplication::processEvents();
  }
  void Wheel(QListWidget& list, int notches) {
    const QPointF at(list.viewport()->width() / 2.0, list.viewport()->height() / 2.0);
    QWheelEvent wheel(at, list.viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(list.viewport(), &wheel);
  }
  // The line editor an edit trigger opened in a list, or null; closed ones
  // linger hidden until they are deleted.
  QLineEdit* Editor(QListWidget& list) {
    for (QLineEdit* editor : list.findChildren<QLineEdit*>(QStringLiteral("lineEditor"))) {
      if (editor->isVisible()) return editor;
    }
    return nullptr;
  }
  void Commit(QListWidget& list, const QString& text) {
    QLineEdit* editor = Editor(list);
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    // The delegate commits from the event loop, and the views refill after.
    for (int round = 0; round < 3; ++round) QCoreApplication::processEvents();
  }

  DebugDialog dialog;
};

TEST(DebugControls, StepOverStepOutAndRunToCursorSayWhereAndWhy) {
  DialogRig rig;
  Calculator& calc = *rig.calc;
  EXPECT_EQ(StopLine(rig.dialog), "Stopped at 002000 (main)");

  rig.Click("stepOver");
  EXPECT_EQ(calc.cpu.pc, kMain + 4);
  EXPECT_EQ(calc.cpu.d(1), 1u) << "the call ran";
  EXPECT_EQ(StopLine(rig.dialog), "Step Over: the call returned to 002004 (main+0x4) after 4 instructions");
  auto* registers = static_cast<RegisterView*>(&Registers(rig.dialog));
  EXPECT_TRUE(registers->IsMarked(1)) << "D1 changed";
  EXPECT_TRUE(registers->IsMarked(16)) << "PC changed";
  EXPECT_FALSE(registers->IsMarked(0)) << "D0 did not";
  EXPECT_FALSE(registers->IsMarked(15)) << "A7 is back where it was";

  // Into the call, then out of it.
  calc.cpu.pc = kMain;
  rig.Click("step");
  EXPECT_EQ(calc.cpu.pc, kSub);
  EXPECT_EQ(StopLine(rig.dialog), "Step: at 00200c (sub)");
  EXPECT_TRUE(registers->IsMarked(15)) << "the call pushed its return address";
  rig.Click("stepOut");
  EXPECT_EQ(calc.cpu.pc, kMain + 4);
  EXPECT_EQ(StopLine(rig.dialog), "Step Out: returned to 002004 (main+0x4) after 3 instructions");

  // Run to Cursor wants a line, then runs to it.
  rig.Click("runToCursor");
  EXPECT_EQ(Message(rig.dialog), "Select a line of the listing first: Run to Cursor runs up to it.");
  EXPECT_EQ(calc.cpu.pc, kMain + 4);
  QListWidget& listing = Listing(rig.dialog);
  const int row = rig.RowOf(listing, 0x2008);
  QTest::mouseClick(listing.viewport(), Qt::LeftButton, {}, listing.visualItemRect(listing.item(row)).center());
  rig.Click("runToCursor");
  EXPECT_EQ(calc.cpu.pc, 0x2008u);
  EXPECT_EQ(StopLine(rig.dialog), "Run to Cursor: reached 002008 (main+0x8) after 2 instructions");
  EXPECT_EQ(Message(rig.dialog), "");

  // A fault stops a command at its handler and says so.
  calc.cpu.pc = kIllegal;
  rig.Click("stepOver");
  EXPECT_EQ(calc.cpu.pc, test::RomBuilder::kDefaultHandler);
  EXPECT_TRUE(StopLine(rig.dialog).startsWith("Illegal instruction at 002020 (vector 4): now at its handler 430000"))
      << StopLine(rig.dialog).toStdString();
}

TEST(DebugControls, ListingLabelsMarksThePcAndTogglesBreakpointsOnDoubleClick) {
  DialogRig rig;
  QListWidget& listing = Listing(rig.dialog);
  EXPECT_EQ(Line(listing, 0), "main:");
  EXPECT_EQ(Line(listing, 1), " 002000: 6100 000a        bsr      00200c  <sub>");
  EXPECT_EQ(listing.item(1)->data(Qt::AccessibleDescriptionRole).toString(), "pc");
  EXPECT_NE(listing.item(1)->background(), listing.item(2)->background());
  EXPECT_EQ(Line(listing, 6), "sub:");

  const int row = rig.RowOf(listing, 0x2004);
  rig.DoubleClick(listing, row);
  EXPECT_TRUE(rig.calc->breakpoints.Contains(0x2004));
  EXPECT_EQ(Line(listing, row), "!002004: 7001             moveq    #1, d0") << "at once";
  rig.DoubleClick(listing, row);
  EXPECT_FALSE(rig.calc->breakpoints.Contains(0x2004));
  EXPECT_EQ(Line(listing, row), " 002004: 7001             moveq    #1, d0");
  rig.DoubleClick(listing, 0);  // a label holds no address
  EXPECT_TRUE(rig.calc->breakpoints.empty());
}

TEST(DebugControls, ListingScrollsAndGoesToAddressesAndSymbols) {
  DialogRig rig;
  QListWidget& listing = Listing(rig.dialog);
  const int lines = listing.count();

  rig.Wheel(listing, -1);  // one notch down: three instructions
  EXPECT_EQ(rig.FirstListedAddress(), 0x2008u);
  EXPECT_EQ(listing.count(), lines);
  rig.Wheel(listing, 1);
  EXPECT_EQ(rig.FirstListedAddress(), kMain);

  // A page down starts where the page ended; a page up comes back.
  const std::uint32_t last = listing.item(listing.count() - 1)->data(Qt::UserRole).toUInt();
  listing.setFocus();
  QTest::keyClick(&listing, Qt::Key_PageDown);
  EXPECT_GT(rig.FirstListedAddress(), last);
  QTest::keyClick(&listing, Qt::Key_PageUp);
  EXPECT_EQ(rig.FirstListedAddress(), kMain);

  rig.Enter("listingAddress", QStringLiteral("sub"));
  EXPECT_EQ(Line(listing, 0), "sub:");
  EXPECT_EQ(rig.FirstListedAddress(), kSub);
  rig.Enter("listingAddress", QStringLiteral("401231"));
  EXPECT_EQ(rig.FirstListedAddress(), 0x401230u) << "made even";
  // Why an entry goes nowhere shows beside its box, whole in the tooltip.
  rig.Enter("listingAddress", QStringLiteral("12zz"));
  const ElidedLabel& error = Child<ElidedLabel>(rig.dialog, "listingError");
  const QLineEdit& box = Child<QLineEdit>(rig.dialog, "listingAddress");
  EXPECT_EQ(error.toolTip(), "\"12zz\" is neither a hex address nor a known symbol.");
  EXPECT_TRUE(error.isVisible());
  EXPECT_EQ(error.geometry().center().y(), box.geometry().center().y()) << "on the box's line";
  EXPECT_GT(error.geometry().left(), box.geometry().right());
  EXPECT_EQ(Message(rig.dialog), "");
  EXPECT_EQ(rig.FirstListedAddress(), 0x401230u);

  // Back over instructions of mixed lengths, with no page to retrace.
  rig.Enter("listingAddress", QStringLiteral("1020"));
  EXPECT_FALSE(error.isVisible());
  listing.setFocus();
  listing.setCurrentRow(0);
  QTest::keyClick(&listing, Qt::Key_Up);
  EXPECT_EQ(rig.FirstListedAddress(), 0x1016u);
  EXPECT_EQ(Line(listing, 0), " 001016: 23fc 1234 5678 0000 4c00 move.l   #0x12345678, 4c00");
  QTest::keyClick(&listing, Qt::Key_Up);
  EXPECT_EQ(rig.FirstListedAddress(), 0x100Eu);

  // A command lists from the PC again.
  rig.Click("step");
  EXPECT_EQ(rig.FirstListedAddress(), kSub);
}

TEST(DebugControls, RegistersAreEditedByDoubleClickInHex) {
  DialogRig rig;
  Calculator& calc = *rig.calc;
  QListWidget& registers = Registers(rig.dialog);
  rig.DoubleClick(registers, 0);
  ASSERT_NE(rig.Editor(registers), nullptr);
  EXPECT_EQ(rig.Editor(registers)->text(), "00000000");
  rig.Commit(registers, QStringLiteral("1234abcd"));
  EXPECT_EQ(calc.cpu.d(0), 0x1234ABCDu);
  EXPECT_EQ(Line(registers, 0), "D0:1234abcd");

  // Letters that are not hex never reach the editor; nine digits neither.
  rig.DoubleClick(registers, 9);
  rig.Commit(registers, QStringLiteral("xyz123456789"));
  EXPECT_EQ(calc.cpu.a(1), 0x12345678u);

  // SR: leaving supervisor state puts the user stack in A7.
  calc.cpu.otherSp = 0x30000;
  rig.DoubleClick(registers, 17);
  EXPECT_EQ(rig.Editor(registers)->text(), "2000");
  rig.Commit(registers, QStringLiteral("0005"));
  EXPECT_EQ(calc.cpu.s, 0);
  EXPECT_EQ(calc.cpu.FlagZ(), 1u);
  EXPECT_EQ(calc.cpu.FlagC(), 1u);
  EXPECT_EQ(calc.cpu.a(7), 0x30000u);
  EXPECT_EQ(Line(registers, 18), "T:0 S:0 Mask:0");
  EXPECT_EQ(Line(registers, 19), "C:1 V:0 Z:1 N:0 X:0");

  // The PC: the listing follows it.
  rig.DoubleClick(registers, 16);
  rig.Commit(registers, QStringLiteral("200c"));
  EXPECT_EQ(calc.cpu.pc, kSub);
  EXPECT_EQ(rig.FirstListedAddress(), kSub);

  // The spelled-out lines are not registers.
  rig.DoubleClick(registers, 18);
  EXPECT_EQ(rig.Editor(registers), nullptr);
}

TEST(DebugControls, MemoryViewReadsWithoutSideEffectsScrollsFollowsAndEditsRam) {
  DialogRig rig;
  Calculator& calc = *rig.calc;
  QListWidget& memory = Memory(rig.dialog);
  ASSERT_GT(memory.count(), 2);
  rig.Enter("memoryAddress", QStringLiteral("main"));
  EXPECT_EQ(Line(memory, 0), "002000: 61 00 00 0a 70 01 4e 71  4e 71 4e 71 52 81 4e 71  a...p.NqNqNqR.Nq");
  EXPECT_TRUE(Line(memory, 1).startsWith("002010: 4e 75 "));

  const int lines = memory.count();
  memory.setFocus();
  QTest::keyClick(&memory, Qt::Key_PageDown);
  EXPECT_TRUE(Line(memory, 0).startsWith(QStringLiteral("%1:").arg(0x2000 + 16 * (lines - 1), 6, 16, QLatin1Char('0'))));
  QTest::keyClick(&memory, Qt::Key_PageUp);
  EXPECT_TRUE(Line(memory, 0).startsWith("002000:"));
  rig.Wheel(memory, 1);
  EXPECT_TRUE(Line(memory, 0).startsWith("001fd0:"));
  rig.Wheel(memory, -1);

  // Edit a line of RAM: sixteen bytes, or nothing and a message.
  rig.DoubleClick(memory, 0);
  ASSERT_NE(rig.Editor(memory), nullptr);
  EXPECT_EQ(rig.Editor(memory)->text(), "61 00 00 0a 70 01 4e 71  4e 71 4e 71 52 81 4e 71");
  rig.Commit(memory, QStringLiteral("01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f 10"));
  for (std::uint32_t i = 0; i < 16; ++i) EXPECT_EQ(calc.ram[kMain + i], i + 1) << i;
  EXPECT_EQ(Line(memory, 0), "002000: 01 02 03 04 05 06 07 08  09 0a 0b 0c 0d 0e 0f 10  ................");
  rig.DoubleClick(memory, 1);
  rig.Commit(memory, QStringLiteral("ff ff"));
  EXPECT_EQ(calc.ram[0x2010], 0x4E);
  EXPECT_EQ(Message(rig.dialog), "A memory line takes 16 bytes, each 1 or 2 hex digits; nothing was written.");

  // Flash and ports are shown, not edited, and looking changes nothing.
  calc.rom[0x1230] = 0x4E;
  calc.rom[0x1231] = 0x71;
  calc.flashState = FlashState::StatusRead;
  const auto ports = calc.ports;
  rig.Enter("memoryAddress", QStringLiteral("600000"));
  rig.Enter("memoryAddress", QStringLiteral("401230"));
  // The flash shows its contents, whatever its command state makes the bus read.
  EXPECT_TRUE(Line(memory, 0).startsWith("401230: 4e 71 "));
  EXPECT_EQ(calc.flashState, FlashState::StatusRead);
  EXPECT_EQ(calc.ports, ports);
  rig.DoubleClick(memory, 0);
  EXPECT_EQ(rig.Editor(memory), nullptr);

  // Following A0: the view moves with the register.
  calc.cpu.a(0) = 0x3004;
  auto& follow = Child<QComboBox>(rig.dialog, "follow");
  follow.setFocus();
  QTest::keyClick(&follow, Qt::Key_Down);
  EXPECT_EQ(follow.currentText(), "Follow: A0");
  EXPECT_TRUE(Line(memory, 0).startsWith("003000:"));
  calc.cpu.pc = 0x1008;  // lea 400000, a0
  rig.Click("step");
  EXPECT_TRUE(Line(memory, 0).startsWith("400000:"));
}

// The shell loads the symbols it is given, or those beside the ROM image,
// and says why there are none.
TEST(DebugControls, TheShellLoadsSymbolsBesideTheRomOrAsTold) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("pellux-shell-symbols-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::vector<std::uint8_t> rom = NopRom().bytes();
  std::ofstream(folder / "ti92p.rom", std::ios::binary)
      .write(reinterpret_cast<const char*>(rom.data()), static_cast<std::streamsize>(rom.size()));
  std::ofstream(folder / "ti92p.sym") << "00420000 T start_here\n";
  std::ofstream(folder / "other.sym") << "00420010 T named_on_the_command_line\n";
  auto noError = [](const ErrMsg& error, QWidget*) { ADD_FAILURE() << "start-up error " << error.what(); };
  struct Case {
    std::optional<std::filesystem::path> symbols;
    const char* name;  // a symbol that must be found, or none
    std::string note;
  };
  const Case cases[] = {
      {std::nullopt, "start_here", "Symbols from " + (folder / "ti92p.sym").string()},
      {folder / "other.sym", "named_on_the_command_line", "Symbols from " + (folder / "other.sym").string()},
      {folder / "absent.elf", nullptr,
       "No symbols: " + (folder / "absent.elf").string() + ": No such file or directory"},
  };
  for (const Case& c : cases) {
    ShellOptions options{folder / "ti92p.rom", noError};
    options.symbolsPath = c.symbols;
    Shell shell(options);
    ASSERT_TRUE(shell.Create());
    const DebugSession& session = shell.window()->debugSession;
    EXPECT_EQ(session.symbolsNote, c.note);
    if (c.name) {
      EXPECT_NE(session.symbols.Find(c.name), nullptr) << c.name;
    } else {
      EXPECT_TRUE(session.symbols.empty());
    }
  }
  std::filesystem::remove(folder / "ti92p.sym");
  Shell shell(ShellOptions{folder / "ti92p.rom", noError});
  ASSERT_TRUE(shell.Create());
  EXPECT_EQ(shell.window()->debugSession.symbolsNote,
            "No symbols: no .elf or .sym file beside " + (folder / "ti92p.rom").string());
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace pellux
