// What a dropped file is, told by its bytes, and what a drop of several
// does: the files made by other programs in tests/data/link, a state, ROM
// images, and files that are none of these, under names that lie.
#include "host/file_drop.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "machine/errors.h"
#include "machine/save_state.h"
#include "tests/test_paths.h"
#include "tests/test_support.h"
#include "tests/value_or_empty.h"

namespace pellux {
namespace {

const std::filesystem::path kLinkData = std::filesystem::path(test::kProjectDir) / "tests/data/link";

std::string Bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string AsText(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

const char* RoleName(FileRole role) {
  switch (role) {
    case FileRole::Variables:
      return "variables";
    case FileRole::RomImage:
      return "ROM image";
    case FileRole::OsFile:
      return "OS";
    case FileRole::State:
      return "state";
    case FileRole::Refused:
      return "refused";
  }
  return "?";
}

class FileDrop : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::vector<std::uint8_t> rom = test::RomBuilder().bytes();
    romBytes_ = AsText(rom);
    Calculator machine(rom);
    ManualClock clock;
    statePath_ = dir_.path() / "saved.state";
    ASSERT_EQ(SaveStateFile(statePath_, machine, IdentifyRom(rom), clock).message(), "");
  }
  test::TempDir dir_;
  std::string romBytes_;
  std::filesystem::path statePath_;
};

TEST_F(FileDrop, EachFileIsWhatItsBytesSay) {
  std::string ti89 = Bytes(kLinkData / "lcdfill.9xz");
  ti89.replace(0, 8, "**TI89**");
  const struct {
    std::filesystem::path path;
    FileRole role;
    std::string problem;  // a part of the refusal
  } cases[] = {
      {kLinkData / "lcdfill.9xz", FileRole::Variables, ""},
      {kLinkData / "mixed.9xg", FileRole::Variables, ""},
      {kLinkData / "hello.9xs", FileRole::Variables, ""},
      {kLinkData / "tinyos.9xu", FileRole::OsFile, ""},
      {kLinkData / "tinyos-9x.tib", FileRole::OsFile, ""},
      {statePath_, FileRole::State, ""},
      {dir_.Write("calculator.rom", romBytes_), FileRole::RomImage, ""},
      // The bytes decide before the name does.
      {dir_.Write("game.9xz", romBytes_), FileRole::RomImage, ""},
      {dir_.Write("backup.rom", Bytes(kLinkData / "lcdfill.9xz")), FileRole::Variables, ""},
      {dir_.Write("os.bin", Bytes(kLinkData / "tinyos.9xu")), FileRole::OsFile, ""},
      // Where the bytes cannot tell, a ROM image's name is taken at its word.
      {dir_.Write("odd.rom", "not much of an image"), FileRole::RomImage, ""},
      {kLinkData / "sample.9xk", FileRole::Refused, "a flash application"},
      {dir_.Write("notes.9xz", "hello world, not a program"), FileRole::Refused,
       "not a TI-92 Plus variable file: it begins \"hello wo\""},
      {dir_.Write("prog.89z", ti89), FileRole::Refused, "TI-89"},
      {dir_.Write("cut.9xz", Bytes(kLinkData / "lcdfill.9xz").substr(0, 70)), FileRole::Refused, "cut short"},
      {dir_.Write("empty.9xz", ""), FileRole::Refused, "empty"},
      {dir_.path(), FileRole::Refused, dir_.path().string()},
      {dir_.path() / "missing.9xz", FileRole::Refused, "missing.9xz"},
  };
  for (const auto& c : cases) {
    const ClassifiedFile file = ClassifyFile(c.path);
    EXPECT_EQ(RoleName(file.role), std::string(RoleName(c.role))) << c.path << ": " << file.problem;
    if (c.role == FileRole::Refused) {
      EXPECT_NE(file.problem.find(c.problem), std::string::npos) << c.path << ": " << file.problem;
      EXPECT_NE(file.problem.find(c.path.filename().string()), std::string::npos)
          << "names the file: " << file.problem;
    } else {
      EXPECT_EQ(file.problem, "") << c.path;
    }
  }
}

TEST_F(FileDrop, VariablesGoWithAtMostOneThingToOpenAndAnyRefusalStopsAll) {
  const std::filesystem::path rom = dir_.Write("calculator.rom", romBytes_);
  const std::filesystem::path lcdfill = kLinkData / "lcdfill.9xz";
  const std::filesystem::path mixed = kLinkData / "mixed.9xg";
  const std::filesystem::path notes = dir_.Write("notes.9xz", "plain text");

  const std::vector<std::filesystem::path> withRom = {lcdfill, rom, mixed};
  DropPlan plan = PlanDrop(withRom);
  ASSERT_TRUE(plan.ok());
  ASSERT_TRUE(plan.machine.has_value());
  EXPECT_EQ(plan.machine->path, rom);
  EXPECT_EQ(plan.variableFiles, (std::vector<std::filesystem::path>{lcdfill, mixed}))
      << "in the order dropped";

  const std::vector<std::filesystem::path> twoToOpen = {rom, lcdfill, statePath_};
  plan = PlanDrop(twoToOpen);
  ASSERT_EQ(plan.refusals.size(), 1u);
  EXPECT_EQ(plan.refusals[0],
            "One ROM image, OS or saved state at a time can be opened, not 2 (calculator.rom, saved.state)");
  EXPECT_FALSE(plan.machine.has_value());
  EXPECT_TRUE(plan.variableFiles.empty()) << "nothing of a refused drop happens";

  const std::vector<std::filesystem::path> oneBad = {lcdfill, notes};
  plan = PlanDrop(oneBad);
  ASSERT_EQ(plan.refusals.size(), 1u);
  EXPECT_NE(plan.refusals[0].find("notes.9xz: this is not a TI-92 Plus variable file"), std::string::npos)
      << plan.refusals[0];
  EXPECT_TRUE(plan.variableFiles.empty());
}

TEST_F(FileDrop, MachineImagesComeFromRomsAndOsFilesOnly) {
  // An OS file becomes the flash of a calculator that holds only it.
  const RomFile os = test::ValueOrEmpty(ReadMachineImage(kLinkData / "tinyos.9xu"));
  const std::string bare = Bytes(kLinkData / "tinyos-9x.tib");
  ASSERT_EQ(os.bytes.size(), kRomSize);
  EXPECT_EQ(
      AsText(std::vector<std::uint8_t>(os.bytes.begin() + 0x12000, os.bytes.begin() + 0x12000 + bare.size())),
      bare);
  EXPECT_EQ(os.bytes[0], 0xFF) << "erased outside the OS";
  EXPECT_TRUE(os.warnings.empty());
  EXPECT_EQ(test::ValueOrEmpty(ReadMachineImage(kLinkData / "tinyos-9x.tib")).bytes, os.bytes);

  const std::filesystem::path rom = dir_.Write("calculator.rom", romBytes_);
  EXPECT_EQ(AsText(test::ValueOrEmpty(ReadMachineImage(rom)).bytes), romBytes_);

  const struct {
    std::filesystem::path path;
    const char* detail;
  } refused[] = {
      {kLinkData / "lcdfill.9xz", "variable file, not a ROM image: File > Send to Calculator... sends it"},
      {statePath_, "saved state, not a ROM image: File > Load State... loads it"},
      {kLinkData / "sample.9xk", "not an operating system"},
  };
  for (const auto& r : refused) {
    const RomRead read = ReadMachineImage(r.path);
    if (read.ok()) {
      ADD_FAILURE() << r.path << " was taken as an image";
      continue;
    }
    EXPECT_EQ(read.error().kind, StartError::RomReadFailed);
    EXPECT_NE(read.message().find(r.path.string() + ": "), std::string::npos) << read.message();
    EXPECT_NE(read.message().find(r.detail), std::string::npos) << read.message();
  }
}

}  // namespace
}  // namespace pellux
