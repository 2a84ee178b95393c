#include "tests/pedrom_support.h"

#include <gtest/gtest.h>

#include "machine/rom_file.h"
#include "tests/test_paths.h"
#include "tests/value_or_empty.h"
#include "tools/key_script.h"

namespace pellux::test {

namespace {

constexpr int kColumns = kLcdWidth / 6;  // 40 cells of 6 x 8 pixels
constexpr int kRows = kLcdHeight / 8;    // 16

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

}  // namespace

std::filesystem::path PedromRom() {
  return std::filesystem::path(test::kProjectDir) / "../shared/pedrom/pedrom-ti92p.rom";
}

std::vector<std::uint8_t> PedromImage() { return ValueOrEmpty(ReadRomFile(PedromRom())).bytes; }

std::string PedromMissing() {
  if (std::filesystem::exists(PedromRom())) return {};
  return "PedroM's image is not beside the project (" + PedromRom().lexically_normal().string() +
         "): the tests that run PedroM need it";
}

PedromFont FindPedromFont(const Calculator& m) {
  const auto frame = m.LcdFrame();
  std::vector<Glyph> banner;
  for (int i = 0; i < static_cast<int>(kPedromBanner.size()); ++i) banner.push_back(Cell(frame, 0, i));
  auto glyphAt = [&](std::size_t base, unsigned char c) {
    Glyph glyph;
    for (int y = 0; y < 8; ++y) glyph[y] = m.rom[base + c * 8 + y];
    return glyph;
  };
  for (std::size_t base = 0; base + 256 * 8 <= m.rom.size(); base += 2) {
    bool all = true;
    for (std::size_t i = 0; i < kPedromBanner.size() && all; ++i)
      all = glyphAt(base, kPedromBanner[i]) == banner[i];
    if (!all) continue;
    PedromFont font;
    for (unsigned char c = 126; c >= 32; --c)
      font[glyphAt(base, c)] = static_cast<char>(c);  // the lowest code wins
    return font;
  }
  return {};
}

PedromFont BootedPedromFont() {
  HeadlessSession session(PedromImage(), Pacing::Manual);
  session.RunUntil(3 * kTicksPerSecond);
  return FindPedromFont(session.calculator());
}

std::vector<std::string> ScreenText(const Calculator& m, const PedromFont& font) {
  return ScreenText(m.LcdFrame(), font);
}

std::vector<std::string> ScreenText(const std::array<std::uint8_t, kLcdFrameBytes>& frame,
                                    const PedromFont& font) {
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

std::int64_t TypeLine(HeadlessSession& session, std::string_view line) {
  auto script = ParseKeyScript(TypedLine(line));
  if (!script.ok()) {
    ADD_FAILURE() << script.message();
    return session.Now();
  }
  std::int64_t last = session.Now();
  for (KeyEvent& event : script->events) {
    event.tick += session.Now();
    last = event.tick;
  }
  session.ScheduleKeys(script->events);
  return last;
}

}  // namespace pellux::test
