#include "machine/keys.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>

namespace pellux {

namespace {

constexpr std::array<const char*, kMatrixKeyCount> kKeyNames = {
    "=",     "CTRL", "SHIFT", "F12", "LEFT",   "UP",     "RIGHT",  "DOWN",   // row 0
    nullptr, "Z",    "S",     "W",   "F8",     "1",      "2",      "3",      // row 1
    nullptr, "X",    "D",     "E",   "F3",     "4",      "5",      "6",      // row 2
    "TAB",   "C",    "F",     "R",   "F7",     "7",      "8",      "9",      // row 3
    "SPACE", "V",    "G",     "T",   "F2",     "[",      "]",      ",",      // row 4
    "/",     "B",    "H",     "Y",   "F6",     "INSERT", "HOME",   "PGUP",   // row 5
    "\\",    "N",    "J",     "U",   "F1",     "PGDN",   "NUMSEP", "P",      // row 6
    "SLASH", "M",    "K",     "I",   "F5",     "DEL",    "F9",     "*",      // row 7
    "BKSP",  ";",    "L",     "O",   "+",      "`",      "ESC",    nullptr,  // row 8
    "-",     "ENTER", "A",    "Q",   "F4",     "0",      ".",      "MINUS",  // row 9
};

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

}  // namespace

const char* KeyName(unsigned code) {
  if (code == kOnKeyCode) return "ON";
  return code < kMatrixKeyCount ? kKeyNames[code] : nullptr;
}

std::optional<unsigned> KeyCodeFromName(std::string_view name) {
  if (EqualNoCase(name, "ON")) return kOnKeyCode;
  for (unsigned code = 0; code < kMatrixKeyCount; ++code) {
    if (kKeyNames[code] && EqualNoCase(name, kKeyNames[code])) return code;
  }
  if (name.size() >= 2 && (name[0] == 'K' || name[0] == 'k')) {
    unsigned code = 0;
    const char* last = name.data() + name.size();
    const auto [end, error] = std::from_chars(name.data() + 1, last, code);
    if (error == std::errc() && end == last && (code < kMatrixKeyCount || code == kOnKeyCode)) return code;
  }
  return std::nullopt;
}

}  // namespace pellux
