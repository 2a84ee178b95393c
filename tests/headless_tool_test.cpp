// pellux-headless as a whole: what it refuses before anything runs, the
// reasons it gives, and the files it leaves.
#include "tests/headless_tool.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/link_files.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

using Outcome = test::ToolOutcome;

Outcome RunTool(const std::vector<std::string>& args) { return test::RunHeadlessTool(args); }

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class HeadlessTool : public ::testing::Test {
 protected:
  HeadlessTool() {
    const test::RomBuilder image = test::NopRom();
    rom_ = dir_.Write("v.rom", std::string(image.bytes().begin(), image.bytes().end())).string();
    keys_ = dir_.Write("k.keys", "1 tap ON\n").string();
    fifo_ = (dir_.path() / "fifo").string();
    EXPECT_EQ(::mkfifo(fifo_.c_str(), 0600), 0);
  }
  std::string In(const std::string& name) const { return (dir_.path() / name).string(); }

  TempDir dir_;
  std::string rom_, keys_, fifo_;
};

TEST_F(HeadlessTool, RefusesBeforeRunningAndSaysWhy) {
  fs::create_hard_link(rom_, In("hard-link.rom"));
  const std::string badKeys = dir_.Write("bad.keys",
                                         "\xEF\xBB\xBF"
                                         "1 tap ON\n2 tap A\x01\n")
                                  .string();
  const std::string tiles = (test::LinkDataDir() / "tiles.9xz").string();
  const std::string sendKeys = dir_.Write("send.keys", "1 tap ON\n2 send " + tiles + "\n").string();
  const std::string badSendKeys = dir_.Write("bad-send.keys", "1 tap ON\n+1 send " + keys_ + "\n").string();
  const std::string notVariables =
      "this is not a TI-92 Plus variable file: it begins \"1 tap ON\" where such files begin \"**TI92P*\"";
  const std::string oneOtherEnd =
      "the calculator's cable has one other end: the computer (--send, --receive-dir, send lines in the key "
      "script) or another Pellux (--link-listen, --link-connect), not both";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string message;
  };
  const Case cases[] = {
      {{rom_, "--send", tiles, "--send", keys_}, 1, "cannot send " + keys_ + ": " + notVariables},
      {{rom_, "--send", In("missing.9xz")},
       1,
       "cannot send " + In("missing.9xz") + ": No such file or directory"},
      {{rom_, "--keys", badSendKeys}, 1, badSendKeys + ":2: cannot send " + keys_ + ": " + notVariables},
      {{rom_, "--png", tiles, "--send", tiles},
       2,
       "--png '" + tiles + "' is a file to send; it is not overwritten"},
      {{rom_, "--receive-dir", keys_}, 1, "--receive-dir '" + keys_ + "' is not a folder"},
      {{rom_, "--send", tiles, "--link-listen", "0"}, 2, oneOtherEnd},
      {{rom_, "--receive-dir", dir_.path().string(), "--link-connect", "1"}, 2, oneOtherEnd},
      {{rom_, "--keys", sendKeys, "--link-connect", "1"}, 2, oneOtherEnd},
      {{rom_, "--link-listen", "0", "--link-connect", "1"},
       2,
       "--link-listen and --link-connect are the two ends of one cable: give one of them"},
      {{rom_, "--link-connect", "host:"}, 2, "--link-connect wants [HOST:]PORT: the port must be a number"},
      {{rom_, "--link-listen", "256.0.0.1:0"}, 1, "cannot listen on 256.0.0.1:0: "},
      {{rom_, "--png", rom_}, 2, "--png '" + rom_ + "' is the ROM image; it is not overwritten"},
      {{rom_, "--png", In("hard-link.rom")}, 2, "is the ROM image; it is not overwritten"},
      {{rom_, "--keys", keys_, "--pbm", keys_},
       2,
       "--pbm '" + keys_ + "' is the key script; it is not overwritten"},
      {{rom_, "--png", In("a.png"), "--pbm", In("./a.png")},
       2,
       "--png and --pbm name the same file '" + In("./a.png") + "'"},
      {{rom_, "--seconds", "600", "--png", In("no/x.png")},
       1,
       "cannot write '" + In("no/x.png") + "': No such file or directory"},
      {{rom_, "--png", fifo_}, 1, "cannot write '" + fifo_ + "': is a FIFO, not a file"},
      {{rom_, "--keys", dir_.path().string()},
       1,
       "cannot read the key script '" + dir_.path().string() + "': is a directory, not a file"},
      {{rom_, "--keys", fifo_}, 1, "cannot read the key script '" + fifo_ + "': is a FIFO, not a file"},
      {{rom_, "--keys", "/dev/zero"},
       1,
       "cannot read the key script '/dev/zero': is larger than 16777216 bytes"},
      {{rom_, "--keys", "/proc/self/mem"},
       1,
       "cannot read the key script '/proc/self/mem': Input/output error"},
      {{rom_, "--keys", badKeys}, 2, badKeys + ":2: unknown key 'A\\x01'"},
      {{rom_, "--realtime=1"}, 2, "option '--realtime' takes no value"},
      {{"--help=x"}, 2, "option '--help' takes no value"},
      {{rom_, "--seconds", "1e9"}, 2, "--seconds wants a number of seconds from 0 to 86400, not '1e9'"},
  };
  const std::string romBytes = Contents(rom_);
  for (const Case& c : cases) {
    const Outcome outcome = RunTool(c.args);
    EXPECT_EQ(outcome.status, c.status) << c.message;
    EXPECT_TRUE(outcome.err.starts_with("pellux-headless: ")) << outcome.err;
    EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.out, "") << "nothing ran: " << c.message;
  }
  EXPECT_EQ(Contents(rom_), romBytes);
  EXPECT_EQ(Contents(keys_), "1 tap ON\n");
  EXPECT_TRUE(fs::is_fifo(fifo_));
  EXPECT_FALSE(fs::exists(In("a.png")));
}

TEST_F(HeadlessTool, WritesEachImageWholeAndLeavesNothingElse) {
  const std::string oldPbm = dir_.Write("old.pbm", "an older picture").string();
  const Outcome outcome =
      RunTool({rom_, "--seconds", "0.01", "--keys", keys_, "--png", In("a.png"), "--pbm", oldPbm});
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.err, "");
  EXPECT_TRUE(outcome.out.starts_with(rom_ + ": 0.010 s of emulated time")) << outcome.out;
  EXPECT_TRUE(Contents(In("a.png")).starts_with("\x89PNG\r\n\x1A\n"));
  EXPECT_EQ(Contents(oldPbm).size(), 11u + 3840u);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir_.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.png", "fifo", "k.keys", "old.pbm", "v.rom"}));
}

// A transfer that fails, or is not done when the run ends, is said on
// standard error and ends the run with status 3; the run itself is
// reported as usual.
TEST_F(HeadlessTool, TransfersThatFailAreSaid) {
  test::RomBuilder busy = test::NopRom();  // never sleeps: never ready
  busy.Code(test::RomBuilder::kDefaultPc, {test::asm68k::kBraSelf});
  const std::string busyRom =
      dir_.Write("busy.rom", std::string(busy.bytes().begin(), busy.bytes().end())).string();
  test::RomBuilder quiet = test::NopRom();  // sleeps, and nothing answers the link
  quiet.Code(test::RomBuilder::kDefaultPc, {test::asm68k::kStop, 0x2700, test::asm68k::kBraSelf});
  const std::string quietRom =
      dir_.Write("quiet.rom", std::string(quiet.bytes().begin(), quiet.bytes().end())).string();
  const std::string tiles = (test::LinkDataDir() / "tiles.9xz").string();
  const std::string later = dir_.Write("later.keys", "0.5 send " + tiles + "  \n").string();
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {{busyRom, "--seconds", "1", "--send", tiles},
       tiles +
           " was not sent: the calculator was not ready before the run ended (it never slept for 0.1 s at a "
           "stretch, waiting for a key)"},
      {{quietRom, "--seconds", "6", "--send", tiles},
       "No answer from the calculator in 5 seconds (sending main\\tiles)."},
      {{quietRom, "--seconds", "0.2", "--keys", later},
       tiles + " was not sent: the run ended before its time, 0.500 s"},
      {{quietRom, "--seconds", "0.7", "--keys", later},
       "the run ended in the middle of a transfer (Sending main\\tiles)"},
  };
  for (const Case& c : cases) {
    const Outcome outcome = RunTool(c.args);
    EXPECT_EQ(outcome.status, 3) << c.message;
    EXPECT_EQ(outcome.err, "pellux-headless: " + c.message + "\n");
    EXPECT_NE(outcome.out.find("s of emulated time"), std::string::npos) << outcome.out;
  }
}

// Any bytes boot, as on the calculator, but what looks wrong is said; what
// cannot be read is refused with the system's reason, without waiting.
TEST_F(HeadlessTool, SaysWhatIsWrongWithTheRom) {
  const std::string empty = dir_.Write("empty.rom", "").string();
  const std::string zeros = dir_.Write("zeros.rom", std::string(1024, '\0')).string();
  const std::string text = dir_.Write("text.rom", "not a calculator image").string();
  const std::string big = dir_.Write("big.rom", std::string(3 << 20, 'N')).string();
  struct Case {
    std::string rom;
    int status;
    std::string message;
  };
  const Case cases[] = {
      {empty, 0, "warning: '" + empty + "': the image is empty: the machine starts with nothing to run"},
      {zeros, 0, "warning: '" + zeros + "': the image holds only zero bytes: the machine has nothing to run"},
      {text, 0,
       "warning: '" + text + "': no vector table marker found: the image is probably not a calculator ROM"},
      {big, 0, "warning: '" + big + "': only the first 2 MB of a 3.0 MB file are used"},
      {fifo_, 1,
       "Initialization Error: ROM image file could not be opened.\n" + fifo_ + ": is a FIFO, not a file\n"},
      {In("missing.rom"), 1,
       "Initialization Error: ROM image file could not be opened.\n" + In("missing.rom") +
           ": No such file or directory\n"},
      {"/proc/self/mem", 1,
       "Initialization Error: ROM image file could not be read.\n/proc/self/mem: Input/output error\n"},
  };
  for (const Case& c : cases) {
    const Outcome outcome = RunTool({c.rom, "--seconds", "0.01"});
    EXPECT_EQ(outcome.status, c.status) << c.rom;
    EXPECT_NE(outcome.err.find("pellux-headless: " + c.message), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.out.empty(), c.status != 0) << "it runs exactly when it reads: " << c.rom;
  }
}

}  // namespace
}  // namespace pellux
