// The user's files for transfers: variables read from files to be sent, and
// received variables saved as files of their own without replacing any.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "io/files.h"
#include "link/transfer_files.h"
#include "link/variable_file.h"
#include "tests/scripted_calculator.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

namespace fs = std::filesystem;
using test::MakeVariable;

std::vector<std::uint8_t> Contents(const fs::path& path) {
  InputFile file = ReadInputFile(path, 1 << 20);
  return file.ok() ? std::move(file->bytes) : std::vector<std::uint8_t>{};
}

TEST(TransferFiles, SavedVariableIsTheWritersFileAndNeverReplacesOne) {
  test::TempDir dir;
  const Variable hello = MakeVariable("main", "hello", 40);
  Variable other = MakeVariable("main", "hello", 80);
  other.type = 0x12;  // a program of the calculator's own language: another extension
  const std::vector<std::uint8_t> helloFile = WriteVariableFile(hello);
  ASSERT_FALSE(helloFile.empty());

  struct Step {
    const Variable* variable;
    const char* file;
  };
  const Step steps[] = {{&hello, "hello.9xz"}, {&hello, "hello-2.9xz"}, {&other, "hello.9xp"}, {&hello, "hello-3.9xz"}};
  for (const Step& step : steps) {
    const SavedVariable saved = SaveReceivedVariable(dir.path(), *step.variable);
    ASSERT_TRUE(saved.ok()) << saved.message();
    EXPECT_EQ(*saved, dir.path() / step.file);
    EXPECT_EQ(Contents(*saved), WriteVariableFile(*step.variable));
  }
  // The first file is as it was.
  EXPECT_EQ(Contents(dir.path() / "hello.9xz"), helloFile);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 4);
}

TEST(TransferFiles, NameTakenByAnythingIsLeftAlone) {
  test::TempDir dir;
  // A dangling link and a folder hold the names; neither is written through.
  fs::create_symlink(dir.path() / "nowhere", dir.path() / "hello.9xz");
  fs::create_directory(dir.path() / "hello-2.9xz");
  const SavedVariable saved = SaveReceivedVariable(dir.path(), MakeVariable("main", "hello", 10));
  ASSERT_TRUE(saved.ok()) << saved.message();
  EXPECT_EQ(saved->filename(), "hello-3.9xz");
  EXPECT_FALSE(fs::exists(dir.path() / "nowhere"));
}

TEST(TransferFiles, SavingFailsClearly) {
  test::TempDir dir;
  const Variable hello = MakeVariable("main", "hello", 10);
  const SavedVariable missing = SaveReceivedVariable(dir.path() / "missing", hello);
  EXPECT_FALSE(missing.ok());
  EXPECT_NE(missing.message().find((dir.path() / "missing").string()), std::string::npos)
      << missing.message();

  Variable broken = hello;
  broken.data.push_back(0);  // its size word no longer says its length
  const SavedVariable refused = SaveReceivedVariable(dir.path(), broken);
  EXPECT_FALSE(refused.ok());
  EXPECT_EQ(refused.message(),
            "main\\hello cannot be written as a file: its data begin with the size 10 but 11 bytes follow.");
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(TransferFiles, VariablesFromSeveralFilesInOrder) {
  test::TempDir dir;
  const Variable a = MakeVariable("main", "a", 10);
  const Variable b = MakeVariable("games", "b", 20);
  const Variable c = MakeVariable("main", "c", 30);
  const std::vector<Variable> group = {b, c};
  const std::vector<std::uint8_t> single = WriteVariableFile(a);
  const std::vector<std::uint8_t> both = WriteGroupFile(group);
  const fs::path first = dir.Write("a.9xz", std::string(single.begin(), single.end()));
  const fs::path second = dir.Write("bc.9xg", std::string(both.begin(), both.end()));
  const fs::path paths[] = {first, second};
  const VariablesFromFiles read = ReadVariablesFromFiles(paths);
  ASSERT_TRUE(read.ok()) << read.message();
  ASSERT_EQ(read->size(), 3u);
  const Variable* expected[] = {&a, &b, &c};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ((*read)[i].folder, expected[i]->folder);
    EXPECT_EQ((*read)[i].name, expected[i]->name);
    EXPECT_EQ((*read)[i].data, expected[i]->data);
  }

  // One bad file spoils the lot, and is named.
  const fs::path junk = dir.Write("junk.9xz", "not a variable file");
  const fs::path missing = dir.path() / "missing.9xz";
  for (const fs::path& bad : {junk, missing}) {
    const fs::path list[] = {first, bad};
    const VariablesFromFiles failed = ReadVariablesFromFiles(list);
    EXPECT_FALSE(failed.ok());
    EXPECT_EQ(failed.message().rfind(bad.string() + ": ", 0), 0u) << failed.message();
  }
}

}  // namespace
}  // namespace pellux
