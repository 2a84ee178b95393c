// Damaged and foreign files: each is refused with a message that says what
// is wrong and where, and nothing half-read comes back.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "link/variable_file.h"
#include "tests/link_files.h"

namespace pellux {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::LinkDataFile;

// Places in lcdfill.9xz, a single-variable file: the entry table's one
// entry, the file's size, the marker, the variable's size word and data.
constexpr std::size_t kCount = 58, kOffset = 60, kName = 64, kType = 72, kAttribute = 73, kFileSize = 76,
                      kMarker = 80, kSizeWord = 86, kCode = 88;

void PutLe32(Bytes& b, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Sets the stored checksum of the variable whose size word is at `sizeWord`
// to fit its data.
void Reseal(Bytes& b, std::size_t sizeWord) {
  const std::size_t size = b[sizeWord] << 8 | b[sizeWord + 1];
  unsigned sum = 0;
  for (std::size_t i = sizeWord; i < sizeWord + 2 + size; ++i) sum += b[i];
  b[sizeWord + 2 + size] = static_cast<std::uint8_t>(sum);
  b[sizeWord + 3 + size] = static_cast<std::uint8_t>(sum >> 8);
}

void ExpectRefused(const Bytes& bytes, const std::string& message, const std::string& what) {
  const VariableFileRead read = ReadVariableFile(bytes);
  EXPECT_FALSE(read.ok()) << what;
  EXPECT_NE(read.message().find(message), std::string::npos) << what << "\n  said: " << read.message();
}

TEST(VariableFileErrors, EveryCutOfARealFileSaysItIsCutShort) {
  for (const char* name : {"lcdfill.9xz", "hello.9xs", "mixed.9xg"}) {
    const Bytes whole = LinkDataFile(name);
    ASSERT_FALSE(whole.empty()) << name;
    ASSERT_TRUE(ReadVariableFile(whole).ok()) << name;
    ExpectRefused({}, "the file is empty", name);
    for (std::size_t length = 1; length < whole.size(); ++length) {
      ExpectRefused({whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)}, "cut short",
                    std::string(name) + " cut to " + std::to_string(length) + " bytes");
    }
  }
}

TEST(VariableFileErrors, DamageIsNamedWithItsPlace) {
  const Bytes lcdfill = LinkDataFile("lcdfill.9xz");
  ASSERT_EQ(lcdfill.size(), 125u);
  struct Case {
    const char* what;
    std::function<void(Bytes&)> damage;
    const char* message;
  } cases[] = {
      {"a code byte changed", [](Bytes& b) { b[kCode + 3] ^= 0x10; },
       "the checksum of entry 1 (\"lcdfill\") is wrong: the file says 0x0E24 (at byte 123), its data add up "
       "to "
       "0x0E34: the file is damaged"},
      {"the checksum changed", [](Bytes& b) { b[123] = 0; },
       "the checksum of entry 1 (\"lcdfill\") is wrong"},
      {"a TI-89 file", [](Bytes& b) { std::copy_n("**TI89**", 8, b.begin()); },
       "this is a TI-89 variable file (it begins \"**TI89**\"), not a TI-92 Plus variable file"},
      {"a TI-92 file", [](Bytes& b) { std::copy_n("**TI92**", 8, b.begin()); },
       "(for the TI-92 before the Plus)"},
      {"a TI-83 Plus file", [](Bytes& b) { std::copy_n("**TI83F*", 8, b.begin()); },
       "a TI-83 Plus or TI-84 Plus"},
      {"something else", [](Bytes& b) { std::copy_n("GIF89a\x01\x02", 8, b.begin()); },
       "this is not a TI-92 Plus variable file: it begins \"GIF89a\\x01\\x02\" where such files begin "
       "\"**TI92P*\""},
      {"a zip archive", [](Bytes& b) { std::copy_n("PK\x03\x04", 4, b.begin()); }, "zip archive"},
      {"no entries", [](Bytes& b) { b[kCount] = 0; }, "the file lists no variables"},
      {"too many entries", [](Bytes& b) { b[kCount] = b[kCount + 1] = 0xFF; },
       "the header counts 65535 entries, whose table runs to byte 1048626, but the file ends at byte 125: "
       "the file "
       "is cut short, or the count is wrong"},
      {"a size beyond the file", [](Bytes& b) { PutLe32(b, kFileSize, 200); },
       "the file is cut short: its header says it is 200 bytes long, but it has 125"},
      {"a size short of the file", [](Bytes& b) { PutLe32(b, kFileSize, 100); },
       "the header says the file is 100 bytes long, but it has 125"},
      {"bytes added",
       [](Bytes& b) {
         b.insert(b.end(), {1, 2, 3});
       },
       "is 125 bytes long, but it has 128"},
      {"no marker", [](Bytes& b) { b[kMarker + 1] = 0x00; },
       "the A5 5A after the entry table (at byte 80) is missing: found 0xA5 0x00"},
      {"an offset past the end", [](Bytes& b) { PutLe32(b, kOffset, 0xFFFFFFF0); },
       "entry 1 (\"lcdfill\") points at byte 4294967280, past the end of the file (byte 125)"},
      {"an offset into the header", [](Bytes& b) { PutLe32(b, kOffset, 32); },
       "entry 1 (\"lcdfill\") points at byte 32, inside the header and entry table, which ends at byte 82"},
      {"an offset past a gap", [](Bytes& b) { PutLe32(b, kOffset, 84); },
       "entry 1 (\"lcdfill\") points at byte 84, but the header and entry table end at byte 82: 2 bytes "
       "between "
       "belong to no variable"},
      {"a size word too large", [](Bytes& b) { b[kSizeWord] = 0x10; },
       "the data of entry 1 (\"lcdfill\") are 4131 bytes by their size word (at byte 86), running with their "
       "checksum to byte 4221, but the file ends at byte 125: the file is cut short, or the size is wrong"},
      {"a size word too small, resealed",
       [](Bytes& b) {
         b[kSizeWord + 1] -= 4;
         Reseal(b, kSizeWord);
       },
       "the header says the file is 125 bytes long, but its last variable, \"lcdfill\", ends at byte 121"},
      {"no name", [](Bytes& b) { std::fill_n(b.begin() + kName, 8, 0); }, "entry 1 has no name"},
      {"a name with a space", [](Bytes& b) { b[kName + 3] = ' '; },
       "entry 1 (\"lcd ill\") has a name that will not do: the calculator takes no space in names"},
      {"a name of control bytes", [](Bytes& b) { b[kName] = 0x01; },
       "entry 1 (\"\\x01cdfill\") has a name that will not do: the calculator takes no character 0x01 in "
       "names"},
      {"a bad folder in the header", [](Bytes& b) { b[10] = '1'; },
       "the folder named in the header, \"1ain\", will not do: it begins with a digit"},
      {"an unknown attribute", [](Bytes& b) { b[kAttribute] = 7; },
       "entry 1 (\"lcdfill\") has attribute 0x07; the calculator knows 0 (none), 1 (locked), 2 (archived)"},
      {"an unknown type", [](Bytes& b) { b[kType] = 0x02; },
       "entry 1 (\"lcdfill\") has type id 0x02, which names no variable of the TI-92 Plus"},
      {"a backup", [](Bytes& b) { b[kType] = 0x1D; },
       "entry 1 (\"lcdfill\") is a backup of the calculator's whole memory (type id 0x1D); Pellux reads "
       "variables, "
       "not backups"},
      {"an OS inside", [](Bytes& b) { b[kType] = 0x23; },
       "entry 1 (\"lcdfill\") is an operating system (type id 0x23), which comes in a \"**TIFL**\" flash "
       "file"},
      {"a folder alone", [](Bytes& b) { b[kType] = 0x1F; }, "the file lists folders but no variables"},
  };
  for (const Case& c : cases) {
    Bytes bytes = lcdfill;
    c.damage(bytes);
    ExpectRefused(bytes, c.message, c.what);
  }
}

// In a group the variables' sizes and the folders' counts must agree with
// the entries.
TEST(VariableFileErrors, GroupDamageIsNamedWithItsPlace) {
  const Bytes mixed = LinkDataFile("mixed.9xg");
  const VariableFileRead read = ReadVariableFile(mixed);
  ASSERT_TRUE(read.ok()) << read.message();
  // The entries: folder "main" (3), hello, lcdfill, answer, folder "demo"
  // (3), primes, readme, pxdata; hello's data begin at byte 194.
  constexpr std::size_t kMainCount = 60 + 14, kDemoCount = 60 + 4 * 16 + 14, kHelloSize = 198;
  struct Case {
    const char* what;
    std::function<void(Bytes&)> damage;
    const char* message;
  } cases[] = {
      {"a folder counting too few", [](Bytes& b) { b[kMainCount] = 2; },
       "entry 1 (\"main\") says 2 variables follow in its folder, but more do"},
      {"a folder counting too many", [](Bytes& b) { b[kMainCount] = 4; },
       "entry 1 (\"main\") says 4 variables follow in its folder, but 3 do"},
      {"the last folder counting too many", [](Bytes& b) { b[kDemoCount] = 5; },
       "entry 5 (\"demo\") says 5 variables follow in its folder, but 3 do"},
      {"a size word that overlaps the next variable, resealed",
       [](Bytes& b) {
         b[kHelloSize + 1] += 2;
         Reseal(b, kHelloSize);
       },
       "entry 3 (\"lcdfill\") points at byte 222, inside the variable \"hello\", which ends at byte 224"},
      {"a size word short of the next variable, resealed",
       [](Bytes& b) {
         b[kHelloSize + 1] -= 2;
         Reseal(b, kHelloSize);
       },
       "entry 3 (\"lcdfill\") points at byte 222, but the variable \"hello\" ends at byte 220: 2 bytes "
       "between "
       "belong to no variable"},
      {"the second variable pointing into the first", [](Bytes& b) { PutLe32(b, 60 + 2 * 16, 200); },
       "entry 3 (\"lcdfill\") points at byte 200, inside the variable \"hello\", which ends at byte 222"},
  };
  for (const Case& c : cases) {
    Bytes bytes = mixed;
    c.damage(bytes);
    ExpectRefused(bytes, c.message, c.what);
  }
}

TEST(VariableFileErrors, FlashFilesAreNotVariables) {
  for (const char* name : {"tinyos.9xu", "sample.9xk"}) {
    ExpectRefused(
        LinkDataFile(name),
        "this is an OS or flash application file (.9xu, .9xk) (it begins \"**TIFL**\"), not a TI-92 Plus "
        "variable file",
        name);
  }
}

// Some link software writes 3 for archived variables: it reads as archived.
TEST(VariableFileErrors, AttributeThreeReadsAsArchived) {
  Bytes bytes = LinkDataFile("lcdfill.9xz");
  bytes[kAttribute] = 3;
  const VariableFileRead read = ReadVariableFile(bytes);
  ASSERT_TRUE(read.ok()) << read.message();
  EXPECT_EQ(read->variables[0].attribute, 2);
}

}  // namespace
}  // namespace pellux
