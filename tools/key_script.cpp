#include "tools/key_script.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "machine/keys.h"
#include "tools/arguments.h"

namespace pellux {

namespace {

constexpr std::int64_t kTapHold = 51;       // 50 ms, the time a tapped key is held
constexpr std::int64_t kTypeSpacing = 102;  // 100 ms from one typed key to the next
constexpr std::int64_t kLatestTick = 24 * 3600 * kTicksPerSecond;
constexpr const char* kPastADay = "the line's key events go on past a day";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

std::vector<std::string_view> SplitWords(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    const std::size_t start = i;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

// "1.5", "1500ms": a non-negative time in ticks, rounded to the nearest tick.
std::optional<std::int64_t> ParseDuration(std::string_view text) {
  double scale = kTicksPerSecond;
  if (text.size() > 2 && text.substr(text.size() - 2) == "ms") {
    text.remove_suffix(2);
    scale = kTicksPerSecond / 1000.0;
  } else if (text.size() > 1 && text.back() == 's') {
    text.remove_suffix(1);
  }
  if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '.')) {
    return std::nullopt;
  }
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
  const double ticks = std::round(value * scale);
  if (ticks > static_cast<double>(kLatestTick)) return std::nullopt;
  return static_cast<std::int64_t>(ticks);
}

// The key a character of a "type" action stands for.
std::optional<unsigned> KeyOfCharacter(char c) {
  if (c == ' ') return KeyCodeFromName("SPACE");
  return KeyCodeFromName(std::string_view(&c, 1));
}

}  // namespace

Result<KeyScript, KeyScriptError> ParseKeyScript(std::string_view text) {
  KeyScript script;
  std::int64_t lineEnd = 0;  // the last event of the previous line
  int lineNumber = 0;
  auto fail = [&](std::string message) { return KeyScriptError{lineNumber, std::move(message)}; };
  // Editors on some systems start a UTF-8 file with a byte-order mark.
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  while (!text.empty()) {
    ++lineNumber;
    const std::size_t newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    if (const std::size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
    const std::vector<std::string_view> words = SplitWords(line);
    if (words.empty()) continue;
    const bool send = words.size() >= 2 && EqualNoCase(words[1], "send");
    if (send && words.size() == 2) return fail("expected TIME send FILE, found no file");
    if (!send && words.size() != 3) {
      return fail("expected TIME ACTION KEY, found " + std::to_string(words.size()) + " word" +
                  (words.size() == 1 ? "" : "s"));
    }

    const bool relative = words[0][0] == '+';
    const std::optional<std::int64_t> time = ParseDuration(relative ? words[0].substr(1) : words[0]);
    if (!time) return fail("bad time " + Quoted(words[0]) + " (seconds like 1.5, or 1500ms, or +0.2)");
    std::int64_t tick = relative ? lineEnd + *time : *time;
    if (tick > kLatestTick) return fail("time " + Quoted(words[0]) + " is later than a day");

    const std::string_view action = words[1];
    if (send) {
      // The file is the rest of the line, as written.
      std::string_view file = line.substr(static_cast<std::size_t>(words[2].data() - line.data()));
      file.remove_suffix(file.size() - file.find_last_not_of(" \t\r\v\f") - 1);
      script.sends.push_back({tick, std::string(file), lineNumber});
      lineEnd = tick;
      continue;
    }
    const std::string_view key = words[2];
    if (EqualNoCase(action, "type")) {
      for (const char c : key) {
        const std::optional<unsigned> code = KeyOfCharacter(c);
        if (!code) return fail("no key types " + Quoted(std::string_view(&c, 1)));
        if (tick + kTapHold > kLatestTick) return fail(kPastADay);
        script.events.push_back({tick, *code, true});
        script.events.push_back({tick + kTapHold, *code, false});
        lineEnd = tick + kTapHold;
        tick += kTypeSpacing;
      }
      continue;
    }
    const std::optional<unsigned> code = KeyCodeFromName(key);
    if (!code) return fail("unknown key " + Quoted(key));
    if (EqualNoCase(action, "press") || EqualNoCase(action, "release")) {
      script.events.push_back({tick, *code, EqualNoCase(action, "press")});
      lineEnd = tick;
    } else if (EqualNoCase(action, "tap")) {
      if (tick + kTapHold > kLatestTick) return fail(kPastADay);
      script.events.push_back({tick, *code, true});
      script.events.push_back({tick + kTapHold, *code, false});
      lineEnd = tick + kTapHold;
    } else {
      return fail("unknown action " + Quoted(action) + " (press, release, tap, type or send)");
    }
  }
  std::stable_sort(script.events.begin(), script.events.end(),
                   [](const KeyEvent& a, const KeyEvent& b) { return a.tick < b.tick; });
  std::stable_sort(script.sends.begin(), script.sends.end(),
                   [](const ScriptedSend& a, const ScriptedSend& b) { return a.tick < b.tick; });
  return script;
}

std::string KeyScriptHelp() {
  std::string help =
      "Key scripts: one event per line, '#' starts a comment.\n"
      "  TIME ACTION KEY\n"
      "  TIME    seconds of emulated time since boot: 1.5 or 1500ms; or +DELAY,\n"
      "          counted from the previous line's last event: +0.2 or +200ms\n"
      "  ACTION  press, release, tap (press, release 50 ms later), or type:\n"
      "          KEY is then a text whose characters are tapped 100 ms apart;\n"
      "          or send: the rest of the line names a variable file (from the\n"
      "          working folder) sent to the calculator then: TIME send FILE\n"
      "  KEY     a key name (any case) or K and a code: K0-K79 the matrix\n"
      "          (row = code / 8, column = code % 8), K128 the ON key\n"
      "Example, computing 12*34 in the demo ROM (ON moves to its calculator):\n"
      "  1.0   tap ON\n"
      "  +0.2  type 12*34\n"
      "  +0.1  tap ENTER\n"
      "Key names (each matrix key is named after the PC key that presses it):\n"
      "  ON";
  int column = 4;
  for (unsigned code = 0; code < kMatrixKeyCount; ++code) {
    if (!KeyName(code)) continue;
    const std::string name = KeyName(code);
    if (column + 1 + name.size() > 78) {
      help += "\n ";
      column = 1;
    }
    help += " " + name;
    column += 1 + static_cast<int>(name.size());
  }
  help += "\n";
  return help;
}

}  // namespace pellux
