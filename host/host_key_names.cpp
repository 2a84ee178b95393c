#include "host/host_key_names.h"

#include <array>

#include "host/host_keys.h"

namespace pellux {

namespace {

struct NamedKey {
  unsigned virtualKey;
  const char* name;
};

// The keys whose name is not their own character.
constexpr std::array<NamedKey, 34> kNamedKeys = {{
    {vk::kBackspace, "Backspace"},
    {vk::kTab, "Tab"},
    {vk::kEnter, "Enter"},
    {vk::kShift, "Shift"},
    {vk::kControl, "Ctrl"},
    {vk::kEscape, "Esc"},
    {vk::kSpace, "Space"},
    {vk::kPageUp, "Page Up"},
    {vk::kPageDown, "Page Down"},
    {vk::kEnd, "End"},
    {vk::kHome, "Home"},
    {vk::kLeft, "Left"},
    {vk::kUp, "Up"},
    {vk::kRight, "Right"},
    {vk::kDown, "Down"},
    {vk::kInsert, "Insert"},
    {vk::kDelete, "Delete"},
    {vk::kMultiply, "Num *"},
    {vk::kAdd, "Num +"},
    {vk::kSeparator, "Num ,"},
    {vk::kSubtract, "Num -"},
    {vk::kDecimal, "Num ."},
    {vk::kDivide, "Num /"},
    {vk::kSemicolon, ";"},
    {vk::kEquals, "="},
    {vk::kComma, ","},
    {vk::kMinus, "-"},
    {vk::kPeriod, "."},
    {vk::kSlash, "/"},
    {vk::kBackquote, "`"},
    {vk::kLeftBracket, "["},
    {vk::kBackslash, "\\"},
    {vk::kRightBracket, "]"},
    {vk::kQuote, "'"},
}};

}  // namespace

std::string VirtualKeyName(unsigned virtualKey) {
  for (const NamedKey& key : kNamedKeys) {
    if (key.virtualKey == virtualKey) return key.name;
  }
  if ((virtualKey >= vk::k0 && virtualKey <= vk::k0 + 9) ||
      (virtualKey >= vk::kA && virtualKey <= vk::kA + 25)) {
    return std::string(1, static_cast<char>(virtualKey));
  }
  if (virtualKey >= vk::kNumpad0 && virtualKey <= vk::kNumpad0 + 9) {
    std::string name = "Num 0";
    name.back() = static_cast<char>('0' + virtualKey - vk::kNumpad0);
    return name;
  }
  if (virtualKey >= vk::kF1 && virtualKey < vk::kF1 + 24) {
    std::string name = std::to_string(virtualKey - vk::kF1 + 1);
    name.insert(name.begin(), 'F');
    return name;
  }
  return {};
}

}  // namespace pellux

namespace pellux {

std::vector<std::string> PcKeyNamesOf(unsigned code) {
  std::vector<std::string> names;
  for (const HostKey& key : kHostKeyTable) {
    // A PC key listed twice presses what its first pair says.
    if (key.code == code && LookupHostKey(key.virtualKey) == code)
      names.push_back(VirtualKeyName(key.virtualKey));
  }
  return names;
}

}  // namespace pellux
