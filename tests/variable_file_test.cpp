// The calculator's variable files: files made by ld-tigcc and libtifiles
// read to their variables, written back byte for byte, and every kind of
// damage named with where it is.
#include "link/variable_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/link_files.h"

namespace pellux {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::LinkDataFile;

// A variable's data: the size word, then the body.
Bytes Data(std::initializer_list<std::uint8_t> body) {
  Bytes data(2 + body.size());
  data[0] = static_cast<std::uint8_t>(body.size() >> 8);
  data[1] = static_cast<std::uint8_t>(body.size());
  std::copy(body.begin(), body.end(), data.begin() + 2);
  return data;
}

bool EndsWith(const Bytes& data, const Bytes& tail) {
  return data.size() >= tail.size() && std::equal(tail.begin(), tail.end(), data.end() - tail.size());
}

bool Contains(const Bytes& data, std::string_view text) {
  return std::search(data.begin(), data.end(), text.begin(), text.end()) != data.end();
}

// What each committed file holds, as its maker was told to write it.
TEST(VariableFile, FilesOfLdTigccAndLibtifilesReadToTheirVariables) {
  struct Case {
    const char* file;
    const char* folder;
    const char* name;
    std::uint8_t type;
    std::uint8_t attribute;
    std::size_t minSize, maxSize;  // of the data with their size word
    std::function<bool(const Bytes&)> content;
  };
  const Case cases[] = {
      // lea $4c00,a0 first; the assembly program's tag last.
      {"lcdfill.9xz", "main", "lcdfill", 0x21, 0, 30, 40,
       [](const Bytes& d) {
         return d[2] == 0x41 && d[3] == 0xF8 && d[4] == 0x4C && d[5] == 0x00 && d.back() == 0xF3;
       }},
      {"tiles.9xz", "main", "tiles", 0x21, 0, 4200, 5000, [](const Bytes& d) { return d.back() == 0xF3; }},
      {"frames.9xz", "main", "frames", 0x21, 0, 30000, 32000,
       [](const Bytes& d) { return d.back() == 0xF3; }},
      // ld-tigcc's data variable: the bytes, then its shown type "DAT".
      {"pxdata.9xy", "main", "pxdata", 0x1C, 0, 40, 60,
       [](const Bytes& d) {
         return Contains(d, "Hello from Pellux") && EndsWith(d, {0, 'D', 'A', 'T', 0, 0xF8});
       }},
      {"hello.9xs", "main", "hello", 0x0C, 0, 22, 22,
       [](const Bytes& d) {
         return Contains(d, "Hello from Pellux") && EndsWith(d, {0, 0x2D});
       }},
      {"answer.9xe", "main", "answer", 0x00, 0, 5, 5,
       [](const Bytes& d) {
         return d == Data({0x2A, 0x01, 0x1F});
       }},
      {"primes.9xl", "demo", "primes", 0x04, 0, 19, 19,
       [](const Bytes& d) { return d[2] == 0xE5 && d.back() == 0xD9; }},
      {"readme.9xt", "demo", "readme", 0x0B, 1, 20, 60,
       [](const Bytes& d) { return Contains(d, "Made by libtifiles") && d.back() == 0xE0; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const Bytes bytes = LinkDataFile(c.file);
    ASSERT_FALSE(bytes.empty()) << "missing test file";
    const VariableFileRead read = ReadVariableFile(bytes);
    ASSERT_TRUE(read.ok()) << read.message();
    ASSERT_EQ(read->variables.size(), 1u);
    EXPECT_FALSE(read->group);
    const Variable& v = read->variables[0];
    EXPECT_EQ(v.folder, c.folder);
    EXPECT_EQ(v.name, c.name);
    EXPECT_EQ(v.type, c.type);
    EXPECT_EQ(v.attribute, c.attribute);
    EXPECT_GE(v.data.size(), c.minSize);
    EXPECT_LE(v.data.size(), c.maxSize);
    EXPECT_TRUE(c.content(v.data));
    EXPECT_EQ(VariableFileExtension(v.type), std::filesystem::path(c.file).extension().string());
  }
}

// libtifiles' group holds ld-tigcc's program and data variable next to its
// own variables: the same data as in their single files, in two folders.
TEST(VariableFile, GroupHoldsTheSingleFilesVariables) {
  const VariableFileRead group = ReadVariableFile(LinkDataFile("mixed.9xg"));
  ASSERT_TRUE(group.ok()) << group.message();
  EXPECT_TRUE(group->group);
  EXPECT_EQ(group->header.comment, "A group made by libtifiles");
  EXPECT_EQ(group->header.folder, "");
  const std::pair<const char*, const char*> expected[] = {{"main", "hello.9xs"},  {"main", "lcdfill.9xz"},
                                                          {"main", "answer.9xe"}, {"demo", "primes.9xl"},
                                                          {"demo", "readme.9xt"}, {"demo", "pxdata.9xy"}};
  ASSERT_EQ(group->variables.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const VariableFileRead single = ReadVariableFile(LinkDataFile(expected[i].second));
    ASSERT_TRUE(single.ok()) << expected[i].second << ": " << single.message();
    Variable want = single->variables[0];
    want.folder = expected[i].first;
    test::ExpectSameVariables({group->variables[i]}, {want});
  }
}

TEST(VariableFile, EveryCommittedFileIsWrittenBackByteForByte) {
  const std::vector<std::string> names = test::LinkVariableFileNames();
  ASSERT_GE(names.size(), 9u);
  for (const std::string& name : names) {
    const Bytes bytes = LinkDataFile(name);
    const VariableFileRead read = ReadVariableFile(bytes);
    ASSERT_TRUE(read.ok()) << name << ": " << read.message();
    EXPECT_EQ(RewriteVariableFile(*read), bytes) << name;
  }
}

// Written by us and read again: every variable type, attributes, folders
// changing back and forth, an empty folder going to "main".
TEST(VariableFile, WrittenFilesReadBackToTheSameVariables) {
  std::vector<Variable> variables;
  const std::uint8_t types[] = {0x00, 0x04, 0x06, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E,
                                0x10, 0x12, 0x13, 0x14, 0x18, 0x1C, 0x21, 0x22};
  for (std::size_t i = 0; i < std::size(types); ++i) {
    const char* folders[] = {"main", "games", "main", "x"};
    std::string name = "v";
    name += std::to_string(i);
    variables.push_back(Variable{folders[i % 4], name, types[i], static_cast<std::uint8_t>(i % 3),
                                 Data({static_cast<std::uint8_t>(i), 0xFF, 0x00, 0x2D})});
  }
  variables.push_back(Variable{"", "big", 0x21, 0, Bytes(65537, 0xAB)});
  variables.back().data[0] = variables.back().data[1] = 0xFF;

  for (const Variable& v : variables) {
    SCOPED_TRACE(v.name);
    const VariableFileRead single = ReadVariableFile(WriteVariableFile(v, "a comment"));
    ASSERT_TRUE(single.ok()) << single.message();
    Variable want = v;
    if (want.folder.empty()) want.folder = "main";
    test::ExpectSameVariables(single->variables, {want});
    EXPECT_EQ(single->header.comment, "a comment");
    EXPECT_FALSE(single->group);
  }
  const VariableFileRead group = ReadVariableFile(WriteGroupFile(variables));
  ASSERT_TRUE(group.ok()) << group.message();
  EXPECT_TRUE(group->group);
  std::vector<Variable> want = variables;
  want.back().folder = "main";
  test::ExpectSameVariables(group->variables, want);
  EXPECT_EQ(RewriteVariableFile(*group), WriteGroupFile(variables));
}

TEST(VariableFile, WritersRefuseWhatNoFileCanHold) {
  const Variable good{"main", "ok", 0x0C, 0, Data({0, 'a', 0, 0x2D})};
  struct Case {
    std::function<void(Variable&)> spoil;
    const char* trouble;
  } cases[] = {
      {[](Variable& v) { v.name = ""; }, "the name \"\" will not do: it is empty"},
      {[](Variable& v) { v.name = "toolongname"; }, "11 characters"},
      {[](Variable& v) { v.name = "9lives"; }, "begins with a digit"},
      {[](Variable& v) { v.folder = "a b"; },
       "folder name \"a b\" will not do: the calculator takes no space"},
      {[](Variable& v) { v.type = 0x1F; }, "a folder (type id 0x1F) is no variable"},
      {[](Variable& v) { v.type = 0x24; }, "a flash application (type id 0x24)"},
      {[](Variable& v) { v.type = 0x02; }, "type id 0x02 is no variable"},
      {[](Variable& v) { v.attribute = 3; }, "attribute 3"},
      {[](Variable& v) { v.data = {0}; }, "lack the 2-byte size"},
      {[](Variable& v) { v.data[1] = 9; }, "begin with the size 9 but 4 bytes follow"},
  };
  for (const Case& c : cases) {
    Variable v = good;
    c.spoil(v);
    EXPECT_NE(VariableTrouble(v).message().find(c.trouble), std::string::npos)
        << VariableTrouble(v).message();
    EXPECT_TRUE(WriteVariableFile(v).empty()) << c.trouble;
    const Variable pair[] = {good, v};
    EXPECT_TRUE(WriteGroupFile(pair).empty()) << c.trouble;
  }
  EXPECT_EQ(VariableTrouble(good).message(), "");
  EXPECT_TRUE(WriteGroupFile({}).empty());
}

TEST(VariableFile, NamesTheCalculatorAccepts) {
  for (const char* name : {"a", "abcdefgh", "x_1", "_meter", "Tetris", "\x84x", "caf\xE9", "\xB5s"}) {
    EXPECT_EQ(NameTrouble(name).message(), "") << name;
  }
  const std::pair<const char*, const char*> refused[] = {
      {"", "empty"},       {"abcdefghi", "9 characters"}, {"1a", "digit"},
      {"a b", "no space"}, {"a.b", "character 0x2E"},     {"a\x7F", "character 0x7F"},
      {"x\xD7y", "0xD7"},  {"\x95", "character 0x95"},    {"a\nb", "character 0x0A"},
  };
  for (const auto& [name, trouble] : refused) {
    EXPECT_NE(NameTrouble(name).message().find(trouble), std::string::npos)
        << name << ": " << NameTrouble(name).message();
  }
}

TEST(VariableFile, ExtensionsOfEveryTypeId) {
  const std::pair<std::uint8_t, const char*> known[] = {
      {0x00, ".9xe"}, {0x04, ".9xl"},   {0x06, ".9xm"},   {0x0A, ".9xc"}, {0x0B, ".9xt"},
      {0x0C, ".9xs"}, {0x0D, ".9xd"},   {0x0E, ".9xa"},   {0x10, ".9xi"}, {0x12, ".9xp"},
      {0x13, ".9xf"}, {0x14, ".9xx"},   {0x18, ".9xclk"}, {0x1C, ".9xy"}, {0x1D, ".9xg"},
      {0x21, ".9xz"}, {0x22, ".9xidl"}, {0x23, ".9xu"},   {0x24, ".9xk"}, {0x25, ".9xq"}};
  for (unsigned type = 0; type < 256; ++type) {
    const auto found =
        std::find_if(std::begin(known), std::end(known), [type](const auto& k) { return k.first == type; });
    EXPECT_EQ(VariableFileExtension(static_cast<std::uint8_t>(type)),
              found == std::end(known) ? "" : found->second)
        << type;
  }
  EXPECT_EQ(kGroupFileExtension, ".9xg");
}

}  // namespace
}  // namespace pellux
