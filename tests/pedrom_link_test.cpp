// PedroM, a real operating system for the calculator written against the
// real link hardware, on two machines joined by the in-process cable: a
// variable made on one is sent with PedroM's own "sendcalc" and listed by
// "ls" on the other.
//
// PedroM is not part of the project: the tests look for its image beside
// the project (../shared/pedrom/) and skip when it is absent.
//
// The screens are read with PedroM's own font, found in its flash image at
// run time: the first characters of its boot banner ("PedroM v0.83") are
// looked up as 6 x 8 cells of 8-byte glyphs, one byte per pixel row, and
// the table where all of them stand is the font every cell is then read
// with. A row reads as text only if each of its cells is exactly a glyph.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/link_cable.h"
#include "machine/memory_bus.h"
#include "tools/headless_session.h"
#include "tools/key_script.h"

namespace pellux {
namespace {

const std::filesystem::path kPedromRom =
    std::filesystem::path(PELLUX_PROJECT_DIR) / "../shared/pedrom/pedrom-ti92p.rom";

constexpr int kColumns = kLcdWidth / 6;  // 40 cells of 6 x 8 pixels
constexpr int kRows = kLcdHeight / 8;    // 16
constexpr std::string_view kBanner = "PedroM v0.83";

using Glyph = std::array<std::uint8_t, 8>;  // pixel rows, leftmost pixel in bit 7

Glyph Cell(const std::array<std::uint8_t, kLcdFrameBytes>& frame, int row, int column) {
  Glyph glyph{};
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 6; ++x) {
      const int px = column * 6 + x;
      const int py = row * 8 + y;
      if (frame[py * (kLcdWidth / 8) + px / 8] >> (7 - px % 8) & 1)
        glyph[y] |= static_cast<std::uint8_t>(0x80 >> x);
    }
  }
  return glyph;
}

// PedroM's 6 x 8 font as it stands in the flash, found from the banner on a
// booted machine's screen; empty when it cannot be found.
std::map<Glyph, char> FindFont(const Calculator& m) {
  const auto frame = m.LcdFrame();
  std::vector<Glyph> banner;
  for (int i = 0; i < static_cast<int>(kBanner.size()); ++i) banner.push_back(Cell(frame, 0, i));
  auto glyphAt = [&](std::size_t base, unsigned char c) {
    Glyph glyph;
    for (int y = 0; y < 8; ++y) glyph[y] = m.rom[base + c * 8 + y];
    return glyph;
  };
  for (std::size_t base = 0; base + 256 * 8 <= m.rom.size(); base += 2) {
    bool all = true;
    for (std::size_t i = 0; i < kBanner.size() && all; ++i) all = glyphAt(base, kBanner[i]) == banner[i];
    if (!all) continue;
    std::map<Glyph, char> font;
    for (unsigned char c = 126; c >= 32; --c)
      font[glyphAt(base, c)] = static_cast<char>(c);  // the lowest code wins
    return font;
  }
  return {};
}

// Each row of the screen as text ('?' for a cell that is no glyph), right
// spaces trimmed.
std::vector<std::string> ScreenText(const Calculator& m, const std::map<Glyph, char>& font) {
  const auto frame = m.LcdFrame();
  std::vector<std::string> rows;
  for (int row = 0; row < kRows; ++row) {
    std::string text;
    for (int column = 0; column < kColumns; ++column) {
      const auto found = font.find(Cell(frame, row, column));
      text += found == font.end() ? '?' : found->second;
    }
    text.erase(text.find_last_not_of(' ') + 1);
    rows.push_back(text);
  }
  return rows;
}

std::string Joined(const std::vector<std::string>& rows) {
  std::string all;
  for (const std::string& row : rows) all += row + "\n";
  return all;
}

// The row below the first that reads `text`, or "(none)".
std::string RowAfter(const std::vector<std::string>& rows, std::string_view text) {
  for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
    if (rows[i] == text) return rows[i + 1];
  }
  return "(none)";
}

bool HasRow(const std::vector<std::string>& rows, std::string_view text) {
  for (const std::string& row : rows) {
    if (row == text) return true;
  }
  return false;
}

// A line typed at PedroM's prompt and entered: letters, digits and spaces
// as the key script types them; '>' is 2nd then '.' (2nd is the key the
// scripts name '=').
std::string TypedLine(std::string_view line) {
  std::string script;
  std::string word;
  auto flush = [&] {
    if (!word.empty()) script += "+0.1 type " + word + "\n";
    word.clear();
  };
  for (const char c : line) {
    if (c == ' ') {
      flush();
      script += "+0.1 tap SPACE\n";
    } else if (c == '>') {
      flush();
      script += "+0.1 tap =\n+0.1 tap .\n";
    } else {
      word += c;
    }
  }
  flush();
  return script + "+0.1 tap ENTER\n";
}

class PedromLink : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kPedromRom)) {
      GTEST_SKIP() << "PedroM's image is not beside the project (" << kPedromRom.lexically_normal().string()
                   << "): the PedroM link tests need it";
    }
    a_ = std::make_unique<HeadlessSession>(kPedromRom, Pacing::Manual);
    b_ = std::make_unique<HeadlessSession>(kPedromRom, Pacing::Manual);
    a_->driver().Plug(&cable_.end(0));
    b_->driver().Plug(&cable_.end(1));
  }

  // Both machines on, pass for pass, for the given emulated seconds.
  void Run(double seconds) {
    const std::int64_t until = a_->Now() + static_cast<std::int64_t>(seconds * kTicksPerSecond);
    while (a_->Now() < until) {
      a_->Pass();
      b_->Pass();
    }
  }

  // Types a line on a machine, starting now; answers when its keys are done.
  static std::int64_t Type(HeadlessSession& session, std::string_view line) {
    KeyScript script = ParseKeyScript(TypedLine(line));
    EXPECT_FALSE(script.error) << script.error->message;
    std::int64_t last = session.Now();
    for (KeyEvent& event : script.events) {
      event.tick += session.Now();
      last = event.tick;
    }
    session.ScheduleKeys(script.events);
    return last;
  }

  void TypeAndRun(HeadlessSession& session, std::string_view line, double settle) {
    const std::int64_t done = Type(session, line);
    Run(static_cast<double>(done - a_->Now()) / kTicksPerSecond + settle);
  }

  std::unique_ptr<HeadlessSession> a_, b_;
  LinkCable cable_;
};

TEST_F(PedromLink, BootsWithTheLinkChipInPlace) {
  Run(3.0);
  for (HeadlessSession* session : {a_.get(), b_.get()}) {
    Calculator& m = session->calculator();
    const std::map<Glyph, char> font = FindFont(m);
    ASSERT_FALSE(font.empty()) << "no banner in PedroM's font on the screen";
    const std::vector<std::string> rows = ScreenText(m, font);
    EXPECT_EQ(rows[0].substr(0, kBanner.size()), kBanner) << Joined(rows);
    EXPECT_EQ(rows[3].substr(0, 2), ":>") << "its prompt (the cursor may blink beside it)\n" << Joined(rows);
    // Its link driver set the port up: interrupts on a byte received, on
    // activity and on errors, engine and time-outs on.
    EXPECT_EQ(PeekByte(m, 0x60000C), 0x8D);
    EXPECT_EQ(PeekByte(m, 0x60000D), 0x40);
    EXPECT_EQ(session->driver().mode(), Driver::Mode::Idle) << "asleep at its prompt";
  }
}

TEST_F(PedromLink, SendcalcCarriesAVariableToTheOtherMachine) {
  Run(3.0);
  const std::map<Glyph, char> font = FindFont(a_->calculator());
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
TEST_F(PedromLink, ALongerVariableCrossesToo) {
  Run(3.0);
  const std::map<Glyph, char> font = FindFont(a_->calculator());
  ASSERT_FALSE(font.empty()) << "no banner in PedroM's font on the screen";
  TypeAndRun(*a_, "help >hlp", 1.0);
  TypeAndRun(*a_, "sendcalc hlp", 5.0);
  TypeAndRun(*b_, "more hlp", 1.0);
  const std::vector<std::string> rowsB = ScreenText(b_->calculator(), font);
  EXPECT_EQ(RowAfter(rowsB, ":>more hlp"), "      arc       cat        cd     clean") << Joined(rowsB);
  EXPECT_TRUE(HasRow(rowsB, "       rm  sendcalc      side     unarc")) << Joined(rowsB);
  EXPECT_TRUE(HasRow(rowsB, "    unppg")) << Joined(rowsB);
}

}  // namespace
}  // namespace pellux
