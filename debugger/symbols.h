// The names of a calculator program's routines and variables, for the
// debugger: read from the program's ELF file (32-bit, big-endian, as the
// 68000 tools write it) or from the text `nm` prints, and looked up by name
// or by address.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace pellux {

struct Symbol {
  std::string name;
  std::uint32_t address = 0;
  std::uint32_t size = 0;  // 0 when unknown (assembler labels, nm text)
};

// An address told as the symbol at or before it and the distance from it.
struct SymbolOffset {
  const Symbol* symbol = nullptr;
  std::uint32_t offset = 0;
};

class SymbolTable {
 public:
  SymbolTable() = default;
  // Takes the symbols in any order; of several names for one address the
  // first given is the one lookups by address answer.
  explicit SymbolTable(std::vector<Symbol> symbols);

  bool empty() const { return byAddress_.empty(); }
  std::size_t size() const { return byAddress_.size(); }

  // The symbol of this exact name, or null.
  const Symbol* Find(std::string_view name) const;
  // The symbol that starts exactly at the address, or null.
  const Symbol* At(std::uint32_t address) const;
  // The nearest symbol at or before the address that still covers it: within
  // its size when the size is known, else within kUnsizedReach bytes.
  std::optional<SymbolOffset> Nearest(std::uint32_t address) const;
  // "name", "name+0x1a", or an empty text when no symbol covers the address.
  std::string Describe(std::uint32_t address) const;

  // How far past a symbol of unknown size an address is still told by it.
  static constexpr std::uint32_t kUnsizedReach = 0x1000;

 private:
  std::vector<Symbol> byAddress_;          // ascending address, stable for one address
  std::vector<std::uint32_t> nameOrder_;  // indexes into byAddress_, by name
};

// A table, or the reason there is none.
using SymbolLoad = Result<SymbolTable>;

// The defined symbols of a 32-bit big-endian ELF file: functions, objects
// and plain labels; no section, file or compiler-local (".L") names. Any
// malformation is answered with an error, never read past the bytes.
SymbolLoad ReadElfSymbols(std::span<const std::uint8_t> file);

// Lines of `nm` output, "00400120 T main": every defined symbol (types other
// than U, u, v and w). Lines of other shapes are skipped; an error when not
// a single line is a symbol.
SymbolLoad ParseNmText(std::string_view text);

// Reads a file of either kind, told apart by the ELF signature.
SymbolLoad LoadSymbolFile(const std::filesystem::path& path);

// The symbol file that sits beside a ROM image and belongs to it: the image's
// name with ".elf" in place of its extension ("ti92p.elf") or added to it
// ("ti92p.rom.elf"), else the same with ".sym" (nm text), else the only ELF
// file of the folder (the demo ROM's "demo.elf"). None when there is none,
// or several ELF files and none of the image's name.
std::optional<std::filesystem::path> FindSymbolsBeside(const std::filesystem::path& romPath);

}  // namespace pellux
