// The tools' command-line pieces: options and their values, counts that
// overflow, and the user's text quoted for messages.
#include "tools/arguments.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace pellux {
namespace {

constexpr OptionSpec kOptions[] = {{"-h", false}, {"--quiet", false}, {"--keys", true}};

// The split as one text: "option=value" or "value" per item, or the error.
std::string Split(std::vector<std::string> args) {
  const SplitArguments split = SplitCommandLine(args, kOptions);
  if (!split.ok()) return "error: " + split.message();
  std::string text;
  for (const Argument& item : *split) {
    if (!text.empty()) text += " ";
    text += item.option.empty() ? item.value : std::string(item.option) + "=" + item.value;
  }
  return text;
}

TEST(CommandLine, SplitsOptionsAndOperandsAndSaysWhatIsWrong) {
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"rom", "--keys", "k", "--quiet"}, "rom --keys=k --quiet="},
      {{"--keys=k=1", "-h"}, "--keys=k=1 -h="},
      {{"-", "--", "--quiet", "-h"}, "- --quiet -h"},
      {{"--quiet=1"}, "error: option '--quiet' takes no value"},
      {{"--quiet="}, "error: option '--quiet' takes no value"},
      {{"--keys"}, "error: option '--keys' needs a value"},
      {{"--keys="}, "error: option '--keys' needs a value"},
      {{"--frames", "3"}, "error: unknown option '--frames'"},
      {{"--fr\x1b[2James"}, "error: unknown option '--fr\\x1b[2James'"},
      {{"-x"}, "error: unknown option '-x'"},
  };
  for (const auto& [args, expected] : cases) EXPECT_EQ(Split(args), expected);
}

// A refused argument keeps what came before it, so that a caller checking
// those first reports the first mistake on the line.
TEST(CommandLine, AFailedSplitKeepsTheItemsBeforeTheFault) {
  const std::vector<std::string> args = {"rom", "--keys", "k", "-x", "late"};
  const SplitArguments split = SplitCommandLine(args, kOptions);
  ASSERT_FALSE(split.ok());
  EXPECT_EQ(split.message(), "unknown option '-x'");
  ASSERT_EQ(split.error().before.size(), 2u);
  EXPECT_EQ(split.error().before[0].value, "rom");
  EXPECT_EQ(split.error().before[1].option, "--keys");
  EXPECT_EQ(split.error().before[1].value, "k");
}

TEST(CommandLine, NumbersThatOverflowAreTooLargeNotBad) {
  struct Case {
    const char* digits;
    unsigned base;
    std::uint64_t largest;
    std::optional<NumberError> error;  // none: the text is the number
    std::uint64_t value;
  };
  const Case cases[] = {
      {"18446744073709551615", 10, UINT64_MAX, std::nullopt, UINT64_MAX},
      {"18446744073709551616", 10, UINT64_MAX, NumberError::TooLarge, 0},
      {"99999999999999999", 10, UINT64_MAX, std::nullopt, 99999999999999999},
      {"ffffffff", 16, UINT32_MAX, std::nullopt, 0xFFFFFFFF},
      {"100000000", 16, UINT32_MAX, NumberError::TooLarge, 0},
      {"FfFf", 16, UINT32_MAX, std::nullopt, 0xFFFF},
      {"5", 10, 4, NumberError::TooLarge, 0},
      {"9999999999999999999999x", 10, UINT64_MAX, NumberError::NotANumber, 0},
      {"1f", 10, UINT64_MAX, NumberError::NotANumber, 0},
      {"", 10, UINT64_MAX, NumberError::NotANumber, 0},
      {"-1", 10, UINT64_MAX, NumberError::NotANumber, 0},
      {"+1", 10, UINT64_MAX, NumberError::NotANumber, 0},
      {" 1", 10, UINT64_MAX, NumberError::NotANumber, 0},
  };
  for (const Case& c : cases) {
    const ParsedNumber number = ParseUnsigned(c.digits, c.base, c.largest);
    if (c.error) {
      ASSERT_FALSE(number.ok()) << c.digits;
      EXPECT_EQ(number.error().kind, *c.error) << c.digits;
    } else {
      ASSERT_TRUE(number.ok()) << c.digits;
      EXPECT_EQ(*number, c.value) << c.digits;
    }
  }
}

TEST(CommandLine, QuotesTheUsersTextReadably) {
  const std::pair<std::string, const char*> cases[] = {
      {"ENTER", "'ENTER'"},
      {std::string("A\0B", 3), "'A\\x00B'"},
      {"tab\there\x7f", "'tab\\x09here\\x7f'"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "'caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80'"},
      {"half \xC3", "'half \\xc3'"},
      {"\xC0\xAF overlong", "'\\xc0\\xaf overlong'"},
      {"\xED\xA0\x80 surrogate", "'\\xed\\xa0\\x80 surrogate'"},
      {"\xC2\x85 C1 control", "'\\xc2\\x85 C1 control'"},
      {"it's \\", "'it\\'s \\\\'"},
      {std::string(50, 'x'), "'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx'... (50 bytes)"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(Quoted(text), expected);
  EXPECT_EQ(Quoted("\xC3\xA9\xC3\xA9\xC3\xA9", 2), "'\xC3\xA9\xC3\xA9'... (6 bytes)")
      << "whole characters are kept";
}

}  // namespace
}  // namespace pellux
