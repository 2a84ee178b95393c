// pellux's command line: the symbols option and the addresses beside the
// others.
#include "host/command_line.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

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
    const Result<CommandLine> line = ParseCommandLine(c.arguments);
    EXPECT_EQ(line.message(), c.error) << c.arguments.size();
    EXPECT_EQ(line.ok(), std::string_view(c.error).empty()) << c.arguments.size();
    if (line.ok()) {
      EXPECT_EQ(line->rom, c.rom);
      EXPECT_EQ(line->symbols, c.symbols);
    }
  }
  EXPECT_NE(CommandLineUsage().find("--symbols FILE"), std::string::npos);
}

// The window's line is split by the same rules as the tools': "--" ends the
// options, and an unknown option is named readably whatever bytes it holds.
TEST(CommandLine, SplitLikeTheToolsLines) {
  struct Case {
    std::vector<std::string_view> arguments;
    std::optional<std::filesystem::path> rom;
    bool fresh;
    const char* error;
  };
  const Case cases[] = {
      {{"--fresh", "--", "-odd.rom"}, "-odd.rom", true, ""},
      {{"-"}, "-", false, ""},
      {{"--fresh=1"}, std::nullopt, false, "option '--fresh' takes no value"},
      {{"--bad=1"}, std::nullopt, false, "unknown option '--bad'"},
      {{"--b\x1b[2Jad"}, std::nullopt, false, "unknown option '--b\\x1b[2Jad'"},
      {{"a.rom", "b.rom"}, std::nullopt, false, "more than one ROM image given ('a.rom', 'b.rom')"},
  };
  for (const Case& c : cases) {
    const Result<CommandLine> line = ParseCommandLine(c.arguments);
    EXPECT_EQ(line.message(), c.error) << c.arguments.front();
    EXPECT_EQ(line.ok(), std::string_view(c.error).empty()) << c.arguments.front();
    if (!line.ok()) continue;
    EXPECT_EQ(line->rom, c.rom);
    EXPECT_EQ(line->fresh, c.fresh);
  }
}

TEST(CommandLine, AddressesForGdbAndTheLinkInEitherFormAndTheirErrors) {
  struct Case {
    std::vector<std::string_view> arguments;
    std::optional<std::string> gdb, listen, connect;
    const char* error;
  };
  const Case cases[] = {
      {{"--link-listen", "5000", "a.rom"}, std::nullopt, "5000", std::nullopt, ""},
      {{"--link-connect=peer.lan:5000", "--gdb", "1234"}, "1234", std::nullopt, "peer.lan:5000", ""},
      {{"--link-listen=[::1]:5000"}, std::nullopt, "[::1]:5000", std::nullopt, ""},
      {{"--link-listen", "5000", "--link-connect", "127.0.0.1:5001"},
       std::nullopt,
       std::nullopt,
       std::nullopt,
       "--link-listen and --link-connect are the two ends of one cable: give one of them"},
      {{"--link-connect"}, std::nullopt, std::nullopt, std::nullopt, "--link-connect wants HOST:PORT: "},
      {{"--link-listen=host:"},
       std::nullopt,
       std::nullopt,
       std::nullopt,
       "--link-listen wants [HOST:]PORT: "},
      {{"--link-listenx", "1"}, std::nullopt, std::nullopt, std::nullopt, "unknown option '--link-listenx'"},
      // The first mistake on the line is the one reported.
      {{"--gdb", "host:", "--nope"}, std::nullopt, std::nullopt, std::nullopt, "--gdb wants [HOST:]PORT: "},
      {{"--nope", "--gdb", "host:"}, std::nullopt, std::nullopt, std::nullopt, "unknown option '--nope'"},
  };
  for (const Case& c : cases) {
    const Result<CommandLine> line = ParseCommandLine(c.arguments);
    EXPECT_EQ(line.message().substr(0, std::string_view(c.error).size()), c.error) << line.message();
    EXPECT_EQ(line.ok(), std::string_view(c.error).empty()) << line.message();
    if (!line.ok()) continue;
    EXPECT_EQ(line->gdb, c.gdb);
    EXPECT_EQ(line->linkListen, c.listen);
    EXPECT_EQ(line->linkConnect, c.connect);
  }
  EXPECT_NE(CommandLineUsage().find("--link-listen [HOST:]PORT"), std::string::npos);
  EXPECT_NE(CommandLineUsage().find("--link-connect HOST:PORT"), std::string::npos);
}

}  // namespace
}  // namespace pellux
