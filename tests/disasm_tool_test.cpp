// pellux-disasm: its arguments, its files, and its listing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/test_paths.h"
#include "tests/test_support.h"
#include "tools/disasm_cli.h"

namespace pellux {
namespace {

using test::TempFile;
using test::WordBytes;

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

Outcome RunTool(std::vector<std::string> args) {
  std::vector<std::string_view> views(args.begin(), args.end());
  std::ostringstream out;
  std::ostringstream err;
  const int code = RunDisasm(views, out, err);
  return {code, out.str(), err.str()};
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// nop; ori.w #255,d0; rts.
const std::vector<std::uint8_t> kProgram = WordBytes({0x4E71, 0x0040, 0x00FF, 0x4E75});

TEST(DisasmTool, ListsTheFileAsFlashAt400000) {
  const TempFile file(kProgram);
  const Outcome all = RunTool({file.path()});
  EXPECT_EQ(all.code, 0) << all.err;
  EXPECT_EQ(all.err, "");
  EXPECT_EQ(Lines(all.out), (std::vector<std::string>{
                                " 400000: 4e71             nop      ",
                                " 400002: 0040 00ff        ori.w    #255, d0",
                                " 400006: 4e75             rts      ",
                            }));
  for (const char* address : {"400002", "0x400002", "0X400002"}) {
    const Outcome one = RunTool({file.path(), address, "1"});
    EXPECT_EQ(one.code, 0) << address;
    EXPECT_EQ(one.out, " 400002: 0040 00ff        ori.w    #255, d0\n") << address;
  }
  EXPECT_EQ(Lines(RunTool({file.path(), "400002", "10"}).out).size(), 2u) << "the file ends first";
}

TEST(DisasmTool, BadArgumentsGetTheUsage) {
  const TempFile file(kProgram);
  const std::string path = file.path();
  const std::vector<std::vector<std::string>> cases = {
      {},
      {path, "400000", "1", "extra"},
      {"-x"},
      {path, "zz"},
      {path, "0x"},
      {path, ""},
      {path, "-400000"},
      {path, "400000 "},
      {path, "1ffffffff"},
      {path, "400000", "0"},
      {path, "400000", "-1"},
      {path, "400000", "ten"},
      {path, "400000", "0x10"},
  };
  for (const auto& args : cases) {
    const Outcome outcome = RunTool(args);
    EXPECT_EQ(outcome.code, 2) << ::testing::PrintToString(args);
    EXPECT_NE(outcome.err.find("usage: pellux-disasm FILE [ADDRESS [LINES]]"), std::string::npos);
    EXPECT_EQ(outcome.out, "");
  }
  const Outcome help = RunTool({"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_TRUE(help.out.starts_with("usage: pellux-disasm"));
}

TEST(DisasmTool, FilesAndAddressesThatCannotBeListed) {
  const TempFile file(kProgram);  // 400000-400007
  const TempFile empty(std::vector<std::uint8_t>{});
  const TempFile oneByte(std::vector<std::uint8_t>{0x4E});
  const test::TempDir dir;
  const std::string missing = (dir.path() / "missing.bin").string();
  const std::string fifo = (dir.path() / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string loop = (dir.path() / "loop").string();
  std::filesystem::create_symlink("loop", loop);
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {{missing}, "cannot open '" + missing + "': No such file or directory"},
      {{dir.path().string()}, "cannot open '" + dir.path().string() + "': is a directory, not a file"},
      {{fifo}, "cannot open '" + fifo + "': is a FIFO, not a file"},  // without blocking
      {{loop}, "cannot open '" + loop + "': Too many levels of symbolic links"},
      {{"/proc/self/mem"}, "cannot read '/proc/self/mem': Input/output error"},
      {{empty.path()}, "is empty"},
      {{oneByte.path()}, "no whole instruction word"},
      {{file.path(), "3ffffe"}, "lies outside"},
      {{file.path(), "400008"}, "lies outside"},
      {{file.path(), "0"}, "lies outside"},
      {{file.path(), "400003"}, "is odd"},
  };
  for (const Case& c : cases) {
    const Outcome outcome = RunTool(c.args);
    EXPECT_EQ(outcome.code, 1) << c.args[0];
    EXPECT_TRUE(outcome.err.starts_with("pellux-disasm: ")) << outcome.err;
    EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.out, "");
  }
}

TEST(DisasmTool, BadArgumentsSayWhatIsWrong) {
  const TempFile file(kProgram);
  const std::string path = file.path();
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {{path, "100000000"}, "ADDRESS '100000000' is too large: at most ffffffff"},
      {{path, "0x1ffffffff"}, "ADDRESS '0x1ffffffff' is too large: at most ffffffff"},
      {{path, "4000zz"}, "ADDRESS must be hexadecimal, not '4000zz'"},
      {{path, "400000", "18446744073709551616"}, "LINES '18446744073709551616' is too large"},
      {{path, "400000", "0"}, "LINES must be a positive decimal count, not '0'"},
      {{path, "--help=x"}, "option '--help' takes no value"},
      {{"--lines", path}, "unknown option '--lines'"},
  };
  for (const Case& c : cases) {
    const Outcome outcome = RunTool(c.args);
    EXPECT_EQ(outcome.code, 2) << c.message;
    EXPECT_TRUE(outcome.err.starts_with(std::string("pellux-disasm: ") + c.message + "\nusage:"))
        << outcome.err;
  }
}

// Bytes the file does not hold are not shown as zero operands.
TEST(DisasmTool, AnInstructionCutOffByTheEndOfTheFileIsMarked) {
  struct Case {
    std::vector<std::uint8_t> bytes;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {WordBytes({0x4EF9, 0x0040}),
       {" 400000: 4ef9 0040        jmp      <cut off: the file ends after 4 of its 6 bytes>"}},
      {WordBytes({0x4E71, 0x0C80}),
       {" 400000: 4e71             nop      ",
        " 400002: 0c80             cmpi.l   <cut off: the file ends after 2 of its 6 bytes>"}},
      {WordBytes({0x4E71, 0x4EF9, 0x0040, 0x0000}),
       {" 400000: 4e71             nop      ", " 400002: 4ef9 0040 0000   jmp      400000"}},
  };
  for (const Case& c : cases) {
    const TempFile file(c.bytes);
    const Outcome outcome = RunTool({file.path()});
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(Lines(outcome.out), c.lines);
  }
}

TEST(DisasmTool, ListsOnlyTheFirstTwoMegabytes) {
  std::vector<std::uint8_t> bytes(0x200000 + 16, 0);
  bytes[0x1FFFFE] = 0x4E, bytes[0x1FFFFF] = 0x71;
  const TempFile file(bytes);
  const Outcome last = RunTool({file.path(), "5ffffe"});
  EXPECT_EQ(last.code, 0);
  EXPECT_EQ(last.out, " 5ffffe: 4e71             nop      \n");
  EXPECT_NE(last.err.find("larger than 2 MB"), std::string::npos);
  EXPECT_EQ(RunTool({file.path(), "600000"}).code, 1);
}

// The built program passes its arguments and exit code through.
TEST(DisasmTool, TheProgram) {
  const TempFile file(kProgram);
  const TempFile output(std::vector<std::uint8_t>{});
  const auto run = [&](const std::string& args) {
    std::ostringstream command;
    command << '"' << test::kDisasmBinary << "\" " << args << " >" << output.path() << " 2>&1";
    const int status = std::system(command.str().c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(run(file.path().string() + " 400002 1"), 0);
  std::ifstream in(output.path());
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, " 400002: 0040 00ff        ori.w    #255, d0");
  EXPECT_EQ(run(""), 2);
}

}  // namespace
}  // namespace pellux
