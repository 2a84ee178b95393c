#include "debugger/numbers.h"

#include <charconv>
#include <system_error>

namespace pellux {

ParsedNumber ParseUnsigned(std::string_view digits, unsigned base, std::uint64_t largest) {
  std::uint64_t value = 0;
  const char* const end = digits.data() + digits.size();
  // from_chars reads every digit, also past an overflow, and takes no sign
  // or prefix for an unsigned type: stopping short of the end is a non-digit.
  const auto [stop, problem] = std::from_chars(digits.data(), end, value, static_cast<int>(base));
  if (digits.empty() || stop != end) return Fail(NumberError::NotANumber, "is not a number");
  if (problem == std::errc::result_out_of_range || value > largest) {
    return Fail(NumberError::TooLarge, "is too large");
  }
  return value;
}

std::optional<std::uint32_t> ParseHex(std::string_view digits) {
  if (digits.size() > 8) return std::nullopt;
  const ParsedNumber number = ParseUnsigned(digits, 16, UINT32_MAX);
  if (!number.ok()) return std::nullopt;
  return static_cast<std::uint32_t>(*number);
}

std::optional<std::uint32_t> ParseTypedHex(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  if (text.starts_with("0x") || text.starts_with("0X")) {
    text.remove_prefix(2);
  } else if (text.starts_with('$')) {
    text.remove_prefix(1);
  }
  return ParseHex(text);
}

}  // namespace pellux
