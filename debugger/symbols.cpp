#include "debugger/symbols.h"

#include <algorithm>
#include <cstdio>
#include <system_error>

#include "debugger/numbers.h"
#include "io/files.h"

namespace pellux {

SymbolTable::SymbolTable(std::vector<Symbol> symbols) : byAddress_(std::move(symbols)) {
  std::stable_sort(byAddress_.begin(), byAddress_.end(),
                   [](const Symbol& a, const Symbol& b) { return a.address < b.address; });
  nameOrder_.resize(byAddress_.size());
  for (std::uint32_t i = 0; i < nameOrder_.size(); ++i) nameOrder_[i] = i;
  std::stable_sort(nameOrder_.begin(), nameOrder_.end(),
                   [this](std::uint32_t a, std::uint32_t b) { return byAddress_[a].name < byAddress_[b].name; });
}

const Symbol* SymbolTable::Find(std::string_view name) const {
  const auto it = std::lower_bound(nameOrder_.begin(), nameOrder_.end(), name,
                                   [this](std::uint32_t i, std::string_view n) { return byAddress_[i].name < n; });
  if (it == nameOrder_.end() || byAddress_[*it].name != name) return nullptr;
  return &byAddress_[*it];
}

const Symbol* SymbolTable::At(std::uint32_t address) const {
  const std::optional<SymbolOffset> nearest = Nearest(address);
  return nearest && nearest->offset == 0 ? nearest->symbol : nullptr;
}

std::optional<SymbolOffset> SymbolTable::Nearest(std::uint32_t address) const {
  // The last symbol at or below the address; of several at one address, the
  // first given.
  auto it = std::upper_bound(byAddress_.begin(), byAddress_.end(), address,
                             [](std::uint32_t a, const Symbol& s) { return a < s.address; });
  if (it == byAddress_.begin()) return std::nullopt;
  --it;
  while (it != byAddress_.begin() && std::prev(it)->address == it->address) --it;
  const std::uint32_t offset = address - it->address;
  const std::uint32_t reach = it->size != 0 ? it->size : kUnsizedReach;
  if (offset != 0 && offset >= reach) return std::nullopt;
  return SymbolOffset{&*it, offset};
}

std::string SymbolTable::Describe(std::uint32_t address) const {
  const std::optional<SymbolOffset> nearest = Nearest(address);
  if (!nearest) return {};
  if (nearest->offset == 0) return nearest->symbol->name;
  char offset[16];
  std::snprintf(offset, sizeof offset, "+0x%x", static_cast<unsigned>(nearest->offset));
  return nearest->symbol->name + offset;
}

namespace {

// ELF32 layout: the file header, section headers and symbol entries.
constexpr std::size_t kElfHeaderSize = 52;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kSymbolEntrySize = 16;
constexpr std::uint32_t kSectionSymtab = 2;
constexpr std::uint32_t kSectionStrtab = 3;
constexpr unsigned kTypeNone = 0, kTypeObject = 1, kTypeFunction = 2;
constexpr unsigned kBindLocal = 0;
constexpr std::uint16_t kSectionUndefined = 0;
// Longer names are cut: a symbol name is for reading, not for storing bytes.
constexpr std::size_t kMaxNameLength = 200;
// A symbol file larger than this is no program for this machine.
constexpr std::size_t kMaxSymbolFileBytes = 64u << 20;

class BigEndianBytes {
 public:
  explicit BigEndianBytes(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  // Whether [offset, offset + length) lies in the bytes, without overflow.
  bool Holds(std::uint64_t offset, std::uint64_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }
  std::uint16_t Word(std::size_t at) const { return static_cast<std::uint16_t>(bytes_[at] << 8 | bytes_[at + 1]); }
  std::uint32_t Long(std::size_t at) const {
    return static_cast<std::uint32_t>(Word(at)) << 16 | Word(at + 2);
  }
  std::uint8_t Byte(std::size_t at) const { return bytes_[at]; }
  std::span<const std::uint8_t> Range(std::size_t offset, std::size_t length) const {
    return bytes_.subspan(offset, length);
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

struct ElfSection {
  std::uint32_t type = 0;
  std::uint32_t offset = 0;
  std::uint32_t size = 0;
  std::uint32_t link = 0;
  std::uint32_t entrySize = 0;
};

SymbolLoad Failure(std::string error) { return Fail(std::move(error)); }

// The terminated name at `offset` of a string table, cut to kMaxNameLength.
std::string NameAt(std::span<const std::uint8_t> strings, std::uint32_t offset) {
  std::string name;
  for (std::size_t i = offset; i < strings.size() && strings[i] != 0 && name.size() < kMaxNameLength; ++i) {
    name.push_back(static_cast<char>(strings[i]));
  }
  return name;
}

bool IsCompilerLocal(std::string_view name) { return name.empty() || name.starts_with(".L"); }

// Where a symbol ranks among names for one address: functions and objects
// before plain labels, global before local.
int Rank(unsigned type, unsigned bind) {
  return (type == kTypeNone ? 2 : 0) + (bind == kBindLocal ? 1 : 0);
}

}  // namespace

SymbolLoad ReadElfSymbols(std::span<const std::uint8_t> file) {
  const BigEndianBytes elf(file);
  if (!elf.Holds(0, kElfHeaderSize) || elf.Byte(0) != 0x7F || elf.Byte(1) != 'E' || elf.Byte(2) != 'L' ||
      elf.Byte(3) != 'F') {
    return Failure("not an ELF file");
  }
  if (elf.Byte(4) != 1 || elf.Byte(5) != 2) {
    return Failure("not a 32-bit big-endian ELF file, as 68000 programs are");
  }
  const std::uint32_t tableOffset = elf.Long(32);
  const std::uint16_t entrySize = elf.Word(46);
  const std::uint16_t count = elf.Word(48);
  if (count == 0) return Failure("the ELF file has no section table");
  if (entrySize < kSectionHeaderSize || !elf.Holds(tableOffset, std::uint64_t{entrySize} * count)) {
    return Failure("the ELF file's section table lies outside the file");
  }
  auto section = [&](std::uint32_t index) {
    const std::size_t at = tableOffset + std::size_t{entrySize} * index;
    return ElfSection{elf.Long(at + 4), elf.Long(at + 16), elf.Long(at + 20), elf.Long(at + 24), elf.Long(at + 36)};
  };

  std::uint32_t symtabIndex = count;
  for (std::uint32_t i = 0; i < count && symtabIndex == count; ++i) {
    if (section(i).type == kSectionSymtab) symtabIndex = i;
  }
  if (symtabIndex == count) return Failure("the ELF file has no symbol table (stripped?)");
  const ElfSection symtab = section(symtabIndex);
  if (symtab.entrySize < kSymbolEntrySize || !elf.Holds(symtab.offset, symtab.size)) {
    return Failure("the ELF file's symbol table lies outside the file");
  }
  if (symtab.link >= count || section(symtab.link).type != kSectionStrtab) {
    return Failure("the ELF file's symbol table has no string table");
  }
  const ElfSection strtab = section(symtab.link);
  if (!elf.Holds(strtab.offset, strtab.size)) return Failure("the ELF file's string table lies outside the file");
  const std::span<const std::uint8_t> strings = elf.Range(strtab.offset, strtab.size);

  struct Ranked {
    int rank;
    Symbol symbol;
  };
  std::vector<Ranked> found;
  for (std::uint64_t at = symtab.offset; at + kSymbolEntrySize <= std::uint64_t{symtab.offset} + symtab.size;
       at += symtab.entrySize) {
    const auto entry = static_cast<std::size_t>(at);
    const unsigned info = elf.Byte(entry + 12);
    const unsigned type = info & 0xF;
    const unsigned bind = info >> 4;
    if (elf.Word(entry + 14) == kSectionUndefined) continue;
    if (type != kTypeNone && type != kTypeObject && type != kTypeFunction) continue;
    std::string name = NameAt(strings, elf.Long(entry));
    if (IsCompilerLocal(name)) continue;
    found.push_back({Rank(type, bind), Symbol{std::move(name), elf.Long(entry + 4), elf.Long(entry + 8)}});
  }
  std::stable_sort(found.begin(), found.end(), [](const Ranked& a, const Ranked& b) { return a.rank < b.rank; });
  std::vector<Symbol> symbols;
  symbols.reserve(found.size());
  for (Ranked& ranked : found) symbols.push_back(std::move(ranked.symbol));
  if (symbols.empty()) return Failure("the ELF file defines no symbols");
  return SymbolTable(std::move(symbols));
}

SymbolLoad ParseNmText(std::string_view text) {
  std::vector<Symbol> globals;
  std::vector<Symbol> locals;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    // "ADDRESS TYPE NAME": 1 to 8 hex digits, one type letter, a name.
    const std::size_t digits = line.find(' ');
    if (digits == 0 || digits == std::string_view::npos || line.size() < digits + 4 || line[digits + 2] != ' ') {
      continue;
    }
    const std::optional<std::uint32_t> parsed = ParseTypedHex(line.substr(0, digits));
    if (!parsed) continue;
    const std::uint32_t address = *parsed;
    const char type = line[digits + 1];
    const std::string_view name = line.substr(digits + 3);
    if (type == 'U' || type == 'u' || type == 'v' || type == 'w' || IsCompilerLocal(name) ||
        name.find(' ') != std::string_view::npos) {
      continue;
    }
    const bool global = type >= 'A' && type <= 'Z';
    (global ? globals : locals).push_back(Symbol{std::string(name.substr(0, kMaxNameLength)), address, 0});
  }
  if (globals.empty() && locals.empty()) return Failure("no line of the file is a symbol as nm prints it");
  globals.insert(globals.end(), std::make_move_iterator(locals.begin()),
                 std::make_move_iterator(locals.end()));
  return SymbolTable(std::move(globals));
}

SymbolLoad LoadSymbolFile(const std::filesystem::path& path) {
  const InputFile file = ReadInputFile(path, kMaxSymbolFileBytes, OverLimit::Refuse);
  if (FailedWith(file, FileError::TooLarge)) return Failure(path.string() + ": too large for a symbol file");
  if (!file.ok()) return Failure(DescribeFileError(path, file.message()));
  const std::vector<std::uint8_t>& bytes = file->bytes;
  SymbolLoad load =
      bytes.size() >= 4 && bytes[0] == 0x7F && bytes[1] == 'E' && bytes[2] == 'L' && bytes[3] == 'F'
          ? ReadElfSymbols(bytes)
          : ParseNmText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  if (!load.ok()) return Failure(path.string() + ": " + load.message());
  return load;
}

std::optional<std::filesystem::path> FindSymbolsBeside(const std::filesystem::path& romPath) {
  std::filesystem::path replaced = romPath;
  std::filesystem::path added = romPath;
  added += ".elf";
  std::filesystem::path text = romPath;
  text.replace_extension(".sym");
  std::error_code error;
  for (const std::filesystem::path& candidate : {replaced.replace_extension(".elf"), added, text}) {
    if (candidate != romPath && std::filesystem::is_regular_file(candidate, error)) return candidate;
  }
  // Else the one ELF file of the folder, as a build leaves its program
  // beside the image under the program's own name.
  std::optional<std::filesystem::path> sole;
  const std::filesystem::path folder = romPath.has_parent_path() ? romPath.parent_path() : ".";
  std::filesystem::directory_iterator entries(folder, error);
  constexpr int kMaxEntries = 1000;  // a crowded folder is no build folder
  int seen = 0;
  for (; !error && entries != std::filesystem::directory_iterator() && seen < kMaxEntries;
       entries.increment(error), ++seen) {
    const std::filesystem::path& path = entries->path();
    if (path.extension() != ".elf" || !entries->is_regular_file(error)) continue;
    if (sole) return std::nullopt;  // two programs: which one is the image's is not known
    sole = path;
  }
  return sole;
}

}  // namespace pellux
