// pellux-headless as a whole: what it refuses before anything runs, the
// reasons it gives, and the files it leaves.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/test_support.h"
#include "tools/headless_cli.h"

namespace pellux {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

// The text a stream opened by open_memstream collected.
class MemoryStream {
 public:
  MemoryStream() : file_(open_memstream(&text_, &size_)) {}
  ~MemoryStream() {
    if (file_) std::fclose(file_);
    std::free(text_);
  }
  std::FILE* file() const { return file_; }
  std::string Text() {
    std::fflush(file_);
    return std::string(text_, size_);
  }

 private:
  char* text_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* file_;
};

Outcome RunTool(const std::vector<std::string>& args) {
  MemoryStream out, err;
  const int status = RunHeadless(args, out.file(), err.file());
  return {status, out.Text(), err.Text()};
}

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
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string message;
  };
  const Case cases[] = {
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
    EXPECT_NE(outcome.err.find(c.message + "\n"), std::string::npos) << outcome.err;
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
