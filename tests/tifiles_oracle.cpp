// libtifiles (Debian's libtifiles-dev, GPL) as an independent judge of our
// variable and flash files: what it writes we read to the same variables,
// what we write it reads to the same variables, and both read ld-tigcc's
// files alike. Built as its own program, only when pkg-config finds
// tifiles2; nothing else links libtifiles.
#include <gtest/gtest.h>

// The library's headers are C and say `restrict`, which C++ spells otherwise.
#define restrict __restrict
#include <tifiles.h>
#undef restrict

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "link/flash_file.h"
#include "link/variable_file.h"
#include "machine/calculator.h"
#include "tests/headless_tool.h"
#include "tests/link_files.h"
#include "tests/pedrom_support.h"
#include "tools/lcd_image.h"

namespace pellux {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class Library : public ::testing::Environment {
 public:
  void SetUp() override { tifiles_library_init(); }
  void TearDown() override { tifiles_library_exit(); }
};
const auto* const kLibrary = ::testing::AddGlobalTestEnvironment(new Library);

// A folder for the files of one test, removed after it.
class Scratch {
 public:
  Scratch() {
    std::string name = (fs::temp_directory_path() / "pellux-tifiles-XXXXXX").string();
    path_ = mkdtemp(name.data()) ? fs::path(name) : fs::path();
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& file) const { return (path_ / file).string(); }

 private:
  fs::path path_;
};

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Their attribute values: ATTRB_ARCHIVED is 3 where the files and the
// calculator say 2.
std::uint8_t OurAttribute(std::uint8_t theirs) { return theirs == ATTRB_ARCHIVED ? 2 : theirs; }
std::uint8_t TheirAttribute(std::uint8_t ours) { return ours == 2 ? std::uint8_t{ATTRB_ARCHIVED} : ours; }

Variable FromEntry(const VarEntry& e) {
  return Variable{e.folder, e.name, e.type, OurAttribute(e.attr), Bytes(e.data, e.data + e.size)};
}

VarEntry* ToEntry(const Variable& v) {
  VarEntry* e = tifiles_ve_create();
  std::strcpy(e->folder, v.folder.c_str());
  std::strcpy(e->name, v.name.c_str());
  e->type = v.type;
  e->attr = TheirAttribute(v.attribute);
  e->size = static_cast<std::uint32_t>(v.data.size());
  e->data = static_cast<std::uint8_t*>(tifiles_ve_alloc_data(e->size));
  std::copy(v.data.begin(), v.data.end(), e->data);
  return e;
}

struct TheirRead {
  int error = 0;
  std::vector<Variable> variables;
  std::string comment;
};

TheirRead ReadWithTifiles(const std::string& path) {
  TheirRead read;
  FileContent* content = tifiles_content_create_regular(CALC_TI92P);
  read.error = tifiles_file_read_regular(path.c_str(), content);
  if (read.error == 0) {
    for (unsigned i = 0; i < content->num_entries; ++i)
      read.variables.push_back(FromEntry(*content->entries[i]));
    read.comment = content->comment;
    if (content->num_entries == 1 && content->checksum != content->stored_checksum) read.error = -1;
  }
  tifiles_content_delete_regular(content);
  return read;
}

void WriteWithTifiles(const std::string& path, const std::vector<Variable>& variables, const char* comment) {
  FileContent* content = tifiles_content_create_regular(CALC_TI92P);
  std::memset(content->comment, 0, sizeof content->comment);
  std::strcpy(content->comment, comment);
  for (const Variable& v : variables) tifiles_content_add_entry(content, ToEntry(v));
  ASSERT_EQ(tifiles_file_write_regular(path.c_str(), content, nullptr), 0) << path;
  tifiles_content_delete_regular(content);
}

// Variables of every type id, every attribute, three folders (grouped by
// folder, the order libtifiles writes groups in), a name of 8 characters
// and data from 0 to 65535 bytes after the size word.
std::vector<Variable> Variables() {
  const std::uint8_t types[] = {0x00, 0x04, 0x06, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E,
                                0x10, 0x12, 0x13, 0x14, 0x18, 0x1C, 0x21, 0x22};
  const char* folders[] = {"main", "games", "abcdefgh"};
  std::vector<Variable> variables;
  for (std::size_t i = 0; i < std::size(types); ++i) {
    const std::size_t size = i == 0 ? 0 : i == 1 ? 65535 : i * 37;
    Variable v{folders[i * 3 / std::size(types)], "var" + std::to_string(i), types[i],
               static_cast<std::uint8_t>(i % 3), Bytes(2 + size)};
    v.data[0] = static_cast<std::uint8_t>(size >> 8);
    v.data[1] = static_cast<std::uint8_t>(size);
    for (std::size_t j = 2; j < v.data.size(); ++j) v.data[j] = static_cast<std::uint8_t>(j * (i + 3));
    variables.push_back(std::move(v));
  }
  variables[3].name = "longname";
  return variables;
}

TEST(TifilesOracle, WhatTheyWriteWeRead) {
  const Scratch dir;
  const std::vector<Variable> variables = Variables();
  for (const Variable& v : variables) {
    const std::string path = dir / ("single" + VariableFileExtension(v.type));
    WriteWithTifiles(path, {v}, "single");
    const VariableFileRead ours = ReadVariableFile(test::ReadWholeFile(path));
    ASSERT_TRUE(ours.ok()) << v.name << ": " << ours.message();
    test::ExpectSameVariables(ours->variables, {v});
    EXPECT_EQ(ours->header.comment, "single");
  }
  const std::string group = dir / "group.9xg";
  WriteWithTifiles(group, variables, "group");
  const VariableFileRead ours = ReadVariableFile(test::ReadWholeFile(group));
  ASSERT_TRUE(ours.ok()) << ours.message();
  EXPECT_TRUE(ours->group);
  test::ExpectSameVariables(ours->variables, variables);
}

TEST(TifilesOracle, WhatWeWriteTheyRead) {
  const Scratch dir;
  std::vector<Variable> variables = Variables();
  for (const Variable& v : variables) {
    const std::string path = dir / ("single" + VariableFileExtension(v.type));
    WriteBytes(path, WriteVariableFile(v, "ours"));
    const TheirRead theirs = ReadWithTifiles(path);
    ASSERT_EQ(theirs.error, 0) << v.name;
    test::ExpectSameVariables(theirs.variables, {v});
    EXPECT_EQ(theirs.comment, "ours");
  }
  // A folder met again after another gets a second folder entry.
  variables.push_back(Variable{"main", "again", 0x0C, 0, {0, 4, 0, 'a', 0, 0x2D}});
  const std::string group = dir / "group.9xg";
  WriteBytes(group, WriteGroupFile(variables));
  const TheirRead theirs = ReadWithTifiles(group);
  ASSERT_EQ(theirs.error, 0);
  test::ExpectSameVariables(theirs.variables, variables);
}

// ld-tigcc's programs and data variable, and the files libtifiles made
// when the test data were made: read alike by both.
TEST(TifilesOracle, BothReadTheCommittedFilesAlike) {
  for (const std::string& name : test::LinkVariableFileNames()) {
    SCOPED_TRACE(name);
    const TheirRead theirs = ReadWithTifiles((test::LinkDataDir() / name).string());
    ASSERT_EQ(theirs.error, 0);
    const VariableFileRead ours = ReadVariableFile(test::LinkDataFile(name));
    ASSERT_TRUE(ours.ok()) << ours.message();
    test::ExpectSameVariables(ours->variables, theirs.variables);
    EXPECT_EQ(ours->header.comment, theirs.comment);
  }
}

// libtifiles reads a flash object's data only when they begin with the
// object's header field (80 0F for an OS, 81 0F for an application).
FlashPart ReadFlashWithTifiles(const std::string& path) {
  FlashContent* content = tifiles_content_create_flash(CALC_TI92P);
  if (const int error = tifiles_file_read_flash(path.c_str(), content); error != 0) {
    ADD_FAILURE() << path << ": libtifiles error " << error;
    return {};  // the content is left as it is: its fields are not to be trusted
  }
  FlashPart part{
      content->name,           content->device_type,
      content->data_type,      content->revision_major,
      content->revision_minor, Bytes(content->data_part, content->data_part + content->data_length)};
  EXPECT_EQ(content->next, nullptr);
  tifiles_content_delete_flash(content);
  return part;
}

void WriteFlashWithTifiles(const std::string& path, const FlashPart& part) {
  FlashContent* content = tifiles_content_create_flash(CALC_TI92P);
  std::strcpy(content->name, part.name.c_str());
  content->device_type = part.deviceType;
  content->data_type = part.dataType;
  content->revision_major = part.revisionMajor;
  content->revision_minor = part.revisionMinor;
  content->data_length = static_cast<std::uint32_t>(part.data.size());
  content->data_part = static_cast<std::uint8_t*>(std::malloc(part.data.size()));
  std::copy(part.data.begin(), part.data.end(), content->data_part);
  ASSERT_EQ(tifiles_file_write_flash(path.c_str(), content), 0) << path;
  tifiles_content_delete_flash(content);
}

void ExpectSamePart(const FlashPart& a, const FlashPart& b) {
  EXPECT_EQ(a.name, b.name);
  EXPECT_EQ(a.deviceType, b.deviceType);
  EXPECT_EQ(a.dataType, b.dataType);
  EXPECT_EQ(a.revisionMajor, b.revisionMajor);
  EXPECT_EQ(a.revisionMinor, b.revisionMinor);
  EXPECT_TRUE(a.data == b.data);
}

TEST(TifilesOracle, FlashFilesBothWays) {
  const Scratch dir;
  Bytes application(1000, 0x5A);
  application[0] = 0x81;
  application[1] = 0x0F;
  std::vector<FlashPart> parts = {
      {"tinyos", kDeviceTi92Plus, kFlashOs, 1, 0, test::LinkDataFile("tinyos-9x.tib")},
      {"sample", kDeviceTi92Plus, kFlashApplication, 2, 1, application},
  };
  if (const auto pedrom = test::PedromDir()) {
    parts.push_back(
        {"PedroM", kDeviceTi92Plus, kFlashOs, 0, 83, test::ReadWholeFile(*pedrom / "PedroM-9x.tib")});
  }
  for (const FlashPart& part : parts) {
    SCOPED_TRACE(part.name);
    const std::string theirs = dir / (part.name + "-theirs" + VariableFileExtension(part.dataType));
    WriteFlashWithTifiles(theirs, part);
    const FlashFileRead read = ReadFlashFile(test::ReadWholeFile(theirs));
    ASSERT_TRUE(read.ok()) << read.message();
    ASSERT_EQ(read->size(), 1u);
    ExpectSamePart((*read)[0], part);

    const std::string ours = dir / (part.name + "-ours" + VariableFileExtension(part.dataType));
    WriteBytes(ours, WriteFlashFile(part));
    ExpectSamePart(ReadFlashWithTifiles(ours), part);

    if (part.dataType == kFlashOs) {
      const FlashImage image = FlashImageFromOsFile(test::ReadWholeFile(theirs));
      ASSERT_TRUE(image.ok()) << image.message();
      EXPECT_TRUE(*image == *BuildFlashImage(part.data));
    }
  }
  if (const auto pedrom = test::PedromDir()) {
    const FlashImage image = FlashImageFromOsFile(test::ReadWholeFile(dir / "PedroM-theirs.9xu"));
    EXPECT_TRUE(*image == test::ReadWholeFile(*pedrom / "pedrom-ti92p.rom"));
  }
  for (const char* name : {"tinyos.9xu", "sample.9xk"}) {
    const FlashFileRead ours = ReadFlashFile(test::LinkDataFile(name));
    ASSERT_TRUE(ours.ok()) << name << ": " << ours.message();
    ExpectSamePart((*ours)[0], ReadFlashWithTifiles((test::LinkDataDir() / name).string()));
  }
}

// PedroM in the .9xu that libtifiles makes of its bare OS, given to
// pellux-headless as a user would: it boots to its prompt and computes, and
// nothing is written beside the file.
TEST(TifilesOracle, PedromBootsFromTheirOsFile) {
  if (const std::string missing = test::PedromMissing(); !missing.empty()) GTEST_SKIP() << missing;
  const Scratch dir, out;
  const std::string file = dir / "PedroM.9xu";
  WriteFlashWithTifiles(file, {"PedroM", kDeviceTi92Plus, kFlashOs, 0, 83,
                               test::ReadWholeFile(test::PedromRom().parent_path() / "PedroM-9x.tib")});
  const std::string keys = "3 type 1/4\n+0.1 tap ENTER\n";
  WriteBytes(out / "k.keys", Bytes(keys.begin(), keys.end()));
  const test::ToolOutcome run =
      test::RunHeadlessTool({file, "--seconds", "4", "--keys", out / "k.keys", "--pbm", out / "screen.pbm"});
  ASSERT_EQ(run.status, 0) << run.err;
  const Bytes frame = DecodePbm(test::ReadWholeFile(out / "screen.pbm"));
  ASSERT_EQ(frame.size(), kLcdFrameBytes);
  std::array<std::uint8_t, kLcdFrameBytes> lcd;
  std::copy(frame.begin(), frame.end(), lcd.begin());
  const std::vector<std::string> rows = test::ScreenText(lcd, test::BootedPedromFont());
  EXPECT_EQ(rows[0].substr(0, test::kPedromBanner.size()), test::kPedromBanner) << test::Joined(rows);
  EXPECT_EQ(test::RowAfter(rows, ":>1/4"), ".2500000000000000") << test::Joined(rows);
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(file).parent_path()), fs::directory_iterator()), 1)
      << "only the OS file in its folder";
}

TEST(TifilesOracle, ExtensionsOfEveryTypeId) {
  for (unsigned type = 0; type < 256; ++type) {
    const std::string theirs = tifiles_vartype2fext(CALC_TI92P, static_cast<std::uint8_t>(type));
    const std::string ours = VariableFileExtension(static_cast<std::uint8_t>(type));
    EXPECT_EQ(ours, theirs == "9x?" ? "" : "." + theirs) << type;
  }
  std::string group = tifiles_fext_of_group(CALC_TI92P);
  std::transform(group.begin(), group.end(), group.begin(),
                 [](char c) { return static_cast<char>(std::tolower(c)); });
  EXPECT_EQ("." + group, kGroupFileExtension);
}

}  // namespace
}  // namespace pellux
