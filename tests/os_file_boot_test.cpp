// An operating system file given to pellux-headless as its ROM, as a user
// gives it: PedroM's bare OS boots to its prompt and runs a key script, the
// state saved from it is the state of the image made of it, and nothing is
// written beside the user's file; an OS that cannot boot here is refused
// with what is wrong with it.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "link/flash_file.h"
#include "tests/headless_tool.h"
#include "tests/link_files.h"
#include "tests/pedrom_support.h"
#include "tests/test_support.h"
#include "tools/lcd_image.h"

namespace pellux {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Text(const Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

std::set<std::string> Names(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

// The rows of the screen pellux-headless wrote as PBM.
std::vector<std::string> ScreenFile(const std::filesystem::path& pbm, const test::PedromFont& font) {
  const Bytes frame = DecodePbm(test::ReadWholeFile(pbm));
  if (frame.size() != kLcdFrameBytes) return {};
  std::array<std::uint8_t, kLcdFrameBytes> lcd;
  std::copy(frame.begin(), frame.end(), lcd.begin());
  return test::ScreenText(lcd, font);
}

TEST(OsFileBoot, PedromBareOsRunsAKeyScript) {
  if (const std::string missing = test::PedromMissing(); !missing.empty()) GTEST_SKIP() << missing;
  const test::PedromFont font = test::BootedPedromFont();
  ASSERT_FALSE(font.empty());
  const test::TempDir user, out;
  const std::filesystem::path os = user.Write(
      "PedroM-9x.tib", Text(test::ReadWholeFile(test::PedromRom().parent_path() / "PedroM-9x.tib")));
  const std::filesystem::path keys = out.Write("k.keys", "3.0 type 6*7\n+0.1 tap ENTER\n");
  const test::ToolOutcome run = test::RunHeadlessTool({os.string(), "--seconds", "4", "--keys", keys.string(),
                                                       "--pbm", (out.path() / "a.pbm").string(),
                                                       "--save-state", (out.path() / "a.state").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "") << "an OS file is no suspicious image";
  std::vector<std::string> rows = ScreenFile(out.path() / "a.pbm", font);
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows[0].substr(0, test::kPedromBanner.size()), test::kPedromBanner) << test::Joined(rows);
  EXPECT_EQ(test::RowAfter(rows, ":>6*7"), "42.00000000000000") << test::Joined(rows);
  EXPECT_EQ(Names(user.path()), std::set<std::string>{"PedroM-9x.tib"}) << "nothing beside the user's file";

  // The state belongs to the image made of the OS, whichever file names
  // it: PedroM's flash image takes it up where it was.
  const std::filesystem::path more = out.Write("m.keys", "0.2 type 1+1\n+0.1 tap ENTER\n");
  const test::ToolOutcome resumed = test::RunHeadlessTool(
      {test::PedromRom().string(), "--seconds", "1", "--load-state", (out.path() / "a.state").string(),
       "--keys", more.string(), "--pbm", (out.path() / "b.pbm").string()});
  ASSERT_EQ(resumed.status, 0) << resumed.err;
  rows = ScreenFile(out.path() / "b.pbm", font);
  EXPECT_EQ(test::RowAfter(rows, ":>6*7"), "42.00000000000000") << test::Joined(rows);
  EXPECT_EQ(test::RowAfter(rows, ":>1+1"), "2.000000000000000") << test::Joined(rows);
}

// tinyos (in the test data) stands for any OS here.
TEST(OsFileBoot, OsFilesThatCannotBootAreRefused) {
  const Bytes tinyos = test::LinkDataFile("tinyos.9xu");
  ASSERT_GT(tinyos.size(), 100u);
  Bytes forTi89 = tinyos;
  forTi89[48] = 0x98;  // the part's device: the TI-89
  struct Case {
    const char* name;
    Bytes bytes;
    const char* message;
  } cases[] = {
      {"cut.9xu", Bytes(tinyos.begin(), tinyos.end() - 100), "the file is cut short"},
      {"ti89.9xu", forTi89,
       "this file holds an operating system \"tinyos\" for the TI-89, not the TI-92 Plus"},
      {"sample.9xk", test::LinkDataFile("sample.9xk"),
       "this file holds a flash application \"sample\" for the TI-92 Plus or Voyage 200, not an operating "
       "system"},
  };
  for (const Case& c : cases) {
    const test::TempDir user;
    const std::filesystem::path file = user.Write(c.name, Text(c.bytes));
    const test::ToolOutcome run =
        test::RunHeadlessTool({file.string(), "--seconds", "1", "--png", (user.path() / "out.png").string()});
    EXPECT_EQ(run.status, 1) << c.name;
    EXPECT_NE(run.err.find("ROM image file could not be read.\n" + file.string() + ": "), std::string::npos)
        << c.name << "\n"
        << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.name << "\n" << run.err;
    EXPECT_EQ(Names(user.path()), std::set<std::string>{c.name}) << c.name << ": nothing written";
  }
}

}  // namespace
}  // namespace pellux
