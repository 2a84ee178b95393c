// pellux's command line: the symbols option beside the others.
#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "host/command_line.h"

namespace pellux {
namespace {

TEST(CommandLine, SymbolsFileInEitherFormAndItsErrors) {
  struct Case {
    std::vector<std::string_view> arguments;
    std::optional<std::filesystem::path> rom;
    std::optional<std::filesystem::path> symbols;
    const char* error;
  };
  const Case cases[] = {
      {{"--symbols", "demo.elf", "ti92p.rom"}, "ti92p.rom", "demo.elf", ""},
      {{"a.rom", "--symbols=prog.sym"}, "a.rom", "prog.sym", ""},
      {{"--symbols", "--fresh"}, std::nullopt, "--fresh", ""},  // the file named "--fresh"
      {{"a.rom"}, "a.rom", std::nullopt, ""},
      {{"a.rom", "--symbols"}, "a.rom", std::nullopt, "option '--symbols' needs a file"},
      {{"--symbols="}, std::nullopt, std::nullopt, "option '--symbols' needs a file"},
  };
  for (const Case& c : cases) {
    const CommandLine line = ParseCommandLine(c.arguments);
    EXPECT_EQ(line.error, c.error) << c.arguments.size();
    if (line.error.empty()) {
      EXPECT_EQ(line.rom, c.rom);
      EXPECT_EQ(line.symbols, c.symbols);
    }
  }
  EXPECT_NE(CommandLineUsage().find("--symbols FILE"), std::string::npos);
}

}  // namespace
}  // namespace pellux
