// Symbols from an ELF file built here, from nm text and from the demo ROM's
// own files; lookups by name and address; malformed and random ELF files.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>

#include "debugger/symbols.h"
#include "tests/test_paths.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

struct ElfSymbol {
  const char* name;
  std::uint32_t value;
  std::uint32_t size;
  std::uint8_t info;  // bind << 4 | type
  std::uint16_t section;
};
constexpr std::uint8_t kGlobalFunction = 0x12, kLocalFunction = 0x02, kGlobalObject = 0x11, kLocalLabel = 0x00,
                       kSectionSymbol = 0x03, kFileSymbol = 0x04;

void PutWord(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<std::uint8_t>(value >> 8);
  bytes[at + 1] = static_cast<std::uint8_t>(value);
}
void PutLong(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  PutWord(bytes, at, static_cast<std::uint16_t>(value >> 16));
  PutWord(bytes, at + 2, static_cast<std::uint16_t>(value));
}

// A 32-bit big-endian ELF file: header, string table, symbol table, and
// three section headers (null, .symtab, .strtab).
constexpr std::size_t kSymtabHeader = 52 + 40;  // where the .symtab section header starts
std::vector<std::uint8_t> BuildElf(std::initializer_list<ElfSymbol> symbols) {
  std::string strings(1, '\0');
  std::vector<std::uint8_t> symtab(16, 0);  // the null symbol
  for (const ElfSymbol& s : symbols) {
    const std::size_t at = symtab.size();
    symtab.resize(at + 16);
    PutLong(symtab, at, static_cast<std::uint32_t>(strings.size()));
    PutLong(symtab, at + 4, s.value);
    PutLong(symtab, at + 8, s.size);
    symtab[at + 12] = s.info;
    PutWord(symtab, at + 14, s.section);
    strings += s.name;
    strings += '\0';
  }
  const std::uint32_t sectionTable = 52;
  const std::uint32_t symtabOffset = sectionTable + 3 * 40;
  const auto strtabOffset = static_cast<std::uint32_t>(symtabOffset + symtab.size());
  std::vector<std::uint8_t> elf(strtabOffset + strings.size(), 0);
  const std::uint8_t ident[] = {0x7F, 'E', 'L', 'F', 1, 2, 1};
  std::memcpy(elf.data(), ident, sizeof ident);
  PutWord(elf, 16, 2);   // executable
  PutWord(elf, 18, 4);   // 68000
  PutLong(elf, 32, sectionTable);
  PutWord(elf, 40, 52);
  PutWord(elf, 46, 40);
  PutWord(elf, 48, 3);
  const std::size_t symtabHeader = sectionTable + 40, strtabHeader = sectionTable + 80;
  PutLong(elf, symtabHeader + 4, 2);
  PutLong(elf, symtabHeader + 16, symtabOffset);
  PutLong(elf, symtabHeader + 20, static_cast<std::uint32_t>(symtab.size()));
  PutLong(elf, symtabHeader + 24, 2);  // its strings are section 2
  PutLong(elf, symtabHeader + 36, 16);
  PutLong(elf, strtabHeader + 4, 3);
  PutLong(elf, strtabHeader + 16, strtabOffset);
  PutLong(elf, strtabHeader + 20, static_cast<std::uint32_t>(strings.size()));
  std::memcpy(elf.data() + symtabOffset, symtab.data(), symtab.size());
  std::memcpy(elf.data() + strtabOffset, strings.data(), strings.size());
  return elf;
}

std::vector<std::uint8_t> SampleElf() {
  return BuildElf({
      {"main_label", 0x400100, 0, kLocalLabel, 1},  // an alias: main is told first
      {"main", 0x400100, 0x40, kGlobalFunction, 1},
      {"helper", 0x400140, 0x10, kLocalFunction, 1},
      {"counter", 0x5000, 4, kGlobalObject, 2},
      {".L12", 0x400120, 0, kLocalLabel, 1},
      {"undefined", 0, 0, 0x10, 0},
      {".text", 0x400000, 0, kSectionSymbol, 1},
      {"main.c", 0, 0, kFileSymbol, 0xFFF1},
      {"_end", 0x6000, 0, 0x10, 0xFFF1},
  });
}

TEST(Symbols, ElfSymbolsByNameAndAddress) {
  const SymbolLoad load = ReadElfSymbols(SampleElf());
  ASSERT_EQ(load.message(), "");
  const SymbolTable& table = *load;
  EXPECT_EQ(table.size(), 5u);  // main_label, main, helper, counter, _end
  ASSERT_NE(table.Find("helper"), nullptr);
  EXPECT_EQ(table.Find("helper")->address, 0x400140u);
  EXPECT_EQ(table.Find("main_label")->address, 0x400100u);
  for (const char* absent : {".L12", "undefined", ".text", "main.c", "mai", ""}) {
    EXPECT_EQ(table.Find(absent), nullptr) << absent;
  }
  struct Case {
    std::uint32_t address;
    const char* text;
  };
  const Case cases[] = {
      {0x400100, "main"},   {0x400104, "main+0x4"}, {0x40013F, "main+0x3f"}, {0x400140, "helper"},
      {0x40014F, "helper+0xf"}, {0x400150, ""},      {0x3FFFFF, ""},          {0x5003, "counter+0x3"},
      {0x6000, "_end"},     {0x6FFF, "_end+0xfff"}, {0x7000, ""},            {0, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(table.Describe(c.address), c.text) << std::hex << c.address;
  EXPECT_EQ(table.At(0x400100)->name, "main");
  EXPECT_EQ(table.At(0x400101), nullptr);
}

TEST(Symbols, MalformedElfIsRefusedWithAReason) {
  const std::vector<std::uint8_t> good = SampleElf();
  struct Case {
    const char* what;
    std::size_t at;  // byte to change, or the new size when `cut`
    std::uint8_t value;
    bool cut;
    const char* error;
  };
  const Case cases[] = {
      {"empty", 0, 0, true, "not an ELF file"},
      {"bad magic", 1, 'X', false, "not an ELF file"},
      {"64-bit", 4, 2, false, "not a 32-bit big-endian ELF file, as 68000 programs are"},
      {"little-endian", 5, 1, false, "not a 32-bit big-endian ELF file, as 68000 programs are"},
      {"no sections", 49, 0, false, "the ELF file has no section table"},
      {"section table cut off", 100, 0, true, "the ELF file's section table lies outside the file"},
      {"section table far away", 32, 0x7F, false, "the ELF file's section table lies outside the file"},
      {"no symbol table", kSymtabHeader + 7, 1, false, "the ELF file has no symbol table (stripped?)"},
      {"symbols far away", kSymtabHeader + 16, 0x7F, false, "the ELF file's symbol table lies outside the file"},
      {"no string table", kSymtabHeader + 27, 7, false, "the ELF file's symbol table has no string table"},
      {"strings cut off", 200, 0, true, "the ELF file's symbol table lies outside the file"},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bytes = good;
    if (c.cut) {
      bytes.resize(c.at);
    } else {
      bytes[c.at] = c.value;
    }
    const SymbolLoad load = ReadElfSymbols(bytes);
    EXPECT_EQ(load.message(), c.error) << c.what;
    EXPECT_FALSE(load.ok()) << c.what;
  }
}

// Random damage to a good file: every answer is a table or a reason, and
// nothing is read outside the bytes (the sanitizer build watches).
TEST(Symbols, RandomlyDamagedElfNeverReadsOutside) {
  const std::vector<std::uint8_t> good = SampleElf();
  std::mt19937 random(1234);
  int tables = 0, refusals = 0;
  for (int round = 0; round < 3000; ++round) {
    std::vector<std::uint8_t> bytes = good;
    const int changes = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < changes; ++i) bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
    if (random() % 4 == 0) bytes.resize(random() % bytes.size());
    const SymbolLoad load = ReadElfSymbols(bytes);
    if (load.ok()) {
      ++tables;
      EXPECT_FALSE(load->empty());
      for (std::uint32_t address : {0u, 0x400100u, 0x400150u, 0xFFFFFFFFu}) (void)load->Describe(address);
    } else {
      ++refusals;
      EXPECT_FALSE(load.message().empty());
    }
  }
  // Both outcomes happen: the damage reaches the checks and the symbols.
  EXPECT_GT(tables, 0);
  EXPECT_GT(refusals, 0);
}

TEST(Symbols, NmText) {
  const SymbolLoad load = ParseNmText(
      "00400000 T _start\n"
      "00400120 t local_helper\r\n"
      "         U external\n"
      "00400200 W weak_defined\n"
      "00000000 w weak_undefined\n"
      "0040012a t .L5\n"
      "00005000 B counter\n"
      "not a symbol line\n"
      "123456789 T too_long\n"
      "00400300 T\n"
      "00400120 T global_alias");
  ASSERT_EQ(load.message(), "");
  const SymbolTable& table = *load;
  EXPECT_EQ(table.size(), 5u);
  EXPECT_EQ(table.Find("_start")->address, 0x400000u);
  EXPECT_EQ(table.Find("weak_defined")->address, 0x400200u);
  EXPECT_EQ(table.Find("counter")->address, 0x5000u);
  EXPECT_EQ(table.Find("external"), nullptr);
  // Global names are told before local ones at one address.
  EXPECT_EQ(table.Describe(0x400124), "global_alias+0x4");
  EXPECT_EQ(ParseNmText("hello\nworld\n").message(), "no line of the file is a symbol as nm prints it");
  EXPECT_EQ(ParseNmText("").message(), "no line of the file is a symbol as nm prints it");
}

TEST(Symbols, FilesBesideTheRomAndTheirErrors) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("pellux-symbols-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::filesystem::path rom = folder / "ti92p.rom";
  std::ofstream(rom) << "image";
  EXPECT_EQ(FindSymbolsBeside(rom), std::nullopt);

  const std::vector<std::uint8_t> elf = SampleElf();
  std::ofstream(folder / "ti92p.rom.elf", std::ios::binary)
      .write(reinterpret_cast<const char*>(elf.data()), static_cast<std::streamsize>(elf.size()));
  EXPECT_EQ(FindSymbolsBeside(rom), folder / "ti92p.rom.elf");
  std::ofstream(folder / "ti92p.sym") << "00400000 T _start\n";
  EXPECT_EQ(FindSymbolsBeside(rom), folder / "ti92p.rom.elf");
  std::filesystem::rename(folder / "ti92p.rom.elf", folder / "ti92p.elf");
  EXPECT_EQ(FindSymbolsBeside(rom), folder / "ti92p.elf");

  EXPECT_EQ(LoadSymbolFile(folder / "ti92p.elf")->Find("main")->address, 0x400100u);
  EXPECT_EQ(LoadSymbolFile(folder / "ti92p.sym")->Find("_start")->address, 0x400000u);
  std::filesystem::remove(folder / "ti92p.elf");
  EXPECT_EQ(FindSymbolsBeside(rom), folder / "ti92p.sym");

  // Else the folder's only ELF file, whatever its name; of two, neither.
  std::filesystem::remove(folder / "ti92p.sym");
  std::filesystem::copy_file(folder / "ti92p.rom", folder / "demo.elf");
  EXPECT_EQ(FindSymbolsBeside(rom), folder / "demo.elf");
  std::filesystem::copy_file(folder / "ti92p.rom", folder / "other.elf");
  EXPECT_EQ(FindSymbolsBeside(rom), std::nullopt);

  const SymbolLoad missing = LoadSymbolFile(folder / "absent.elf");
  EXPECT_EQ(missing.message(), (folder / "absent.elf").string() + ": No such file or directory");
  EXPECT_EQ(LoadSymbolFile(rom).message(),
            rom.string() + ": no line of the file is a symbol as nm prints it");
  std::filesystem::remove_all(folder);
}

// The demo ROM's ELF file and its nm listing agree on every routine.
TEST(Symbols, TheDemoRomsElfAgreesWithNm) {
  if (!test::kDemoSymbols) GTEST_SKIP() << test::kNoDemoRom;
  const std::filesystem::path text = test::kDemoSymbols;
  const SymbolLoad nm = LoadSymbolFile(text);
  const SymbolLoad elf = LoadSymbolFile(text.parent_path() / "demo.elf");
  ASSERT_EQ(nm.message(), "");
  ASSERT_EQ(elf.message(), "");
  for (const char* name : {"main", "_start"}) {
    ASSERT_NE(elf->Find(name), nullptr) << name;
    ASSERT_NE(nm->Find(name), nullptr) << name;
    EXPECT_EQ(elf->Find(name)->address, nm->Find(name)->address) << name;
  }
  EXPECT_GT(elf->Find("main")->size, 0u);
}

}  // namespace
}  // namespace pellux
