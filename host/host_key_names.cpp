#include "host/host_key_names.h"

#include <array>

namespace pellux {

namespace {

struct NamedKey {
  PcKey key;
  const char* name;
};

// The keys whose name is not their own character.
constexpr std::array<NamedKey, 34> kNamedKeys = {{
    {PcKey::Backspace, "Backspace"},
    {PcKey::Tab, "Tab"},
    {PcKey::Enter, "Enter"},
    {PcKey::Shift, "Shift"},
    {PcKey::Control, "Ctrl"},
    {PcKey::Escape, "Esc"},
    {PcKey::Space, "Space"},
    {PcKey::PageUp, "Page Up"},
    {PcKey::PageDown, "Page Down"},
    {PcKey::End, "End"},
    {PcKey::Home, "Home"},
    {PcKey::Left, "Left"},
    {PcKey::Up, "Up"},
    {PcKey::Right, "Right"},
    {PcKey::Down, "Down"},
    {PcKey::Insert, "Insert"},
    {PcKey::Delete, "Delete"},
    {PcKey::NumMultiply, "Num *"},
    {PcKey::NumAdd, "Num +"},
    {PcKey::NumComma, "Num ,"},
    {PcKey::NumSubtract, "Num -"},
    {PcKey::NumDecimal, "Num ."},
    {PcKey::NumDivide, "Num /"},
    {PcKey::Semicolon, ";"},
    {PcKey::Equals, "="},
    {PcKey::Comma, ","},
    {PcKey::Minus, "-"},
    {PcKey::Period, "."},
    {PcKey::Slash, "/"},
    {PcKey::Backquote, "`"},
    {PcKey::LeftBracket, "["},
    {PcKey::Backslash, "\\"},
    {PcKey::RightBracket, "]"},
    {PcKey::Quote, "'"},
}};

// Where a key falls in a run of consecutive keys (digits, letters, F keys).
bool InRun(PcKey key, PcKey first, unsigned count, unsigned& offset) {
  offset = static_cast<unsigned>(key) - static_cast<unsigned>(first);
  return key >= first && offset < count;
}

}  // namespace

std::string PcKeyName(PcKey key) {
  for (const NamedKey& named : kNamedKeys) {
    if (named.key == key) return named.name;
  }
  unsigned offset = 0;
  if (InRun(key, PcKey::Digit0, 10, offset)) return std::string(1, static_cast<char>('0' + offset));
  if (InRun(key, PcKey::A, 26, offset)) return std::string(1, static_cast<char>('A' + offset));
  // Built in place: GCC 12 warns falsely about a concatenation with to_string.
  if (InRun(key, PcKey::Num0, 10, offset)) {
    std::string name = "Num 0";
    name.back() = static_cast<char>('0' + offset);
    return name;
  }
  if (InRun(key, PcKey::F1, 24, offset)) {
    std::string name = std::to_string(offset + 1);
    name.insert(name.begin(), 'F');
    return name;
  }
  return {};
}

std::vector<std::string> PcKeyNamesOf(unsigned code) {
  std::vector<std::string> names;
  for (const HostKey& key : kHostKeyTable) {
    if (key.code == code) names.push_back(PcKeyName(key.key));
  }
  return names;
}

}  // namespace pellux
