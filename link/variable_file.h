// The calculator's variable files on the computer: "**TI92P*" files holding
// one variable (.9xz, .9xp, .9xs, .9xt, ...) or a group of them (.9xg), as
// the link software of the computer reads and writes them. Reading knows
// nothing of the link port or the protocol.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pellux {

// One variable as the calculator stores it and the link carries it.
struct Variable {
  std::string folder;              // "main"; at most 8 characters
  std::string name;                // at most 8 characters
  std::uint8_t type = 0;           // the calculator's type id: 0x21 assembly program, 0x12 program, ...
  std::uint8_t attribute = 0;      // 0 none, 1 locked, 2 archived
  std::vector<std::uint8_t> data;  // as in the calculator's memory: a 2-byte big-endian size, then that many bytes
};

struct VariableFileRead {
  bool ok() const { return error.empty(); }
  std::vector<Variable> variables;  // in the file's order
  std::string error;                // what is wrong with the bytes, for the user
};

// The variables of a file's bytes, or why the bytes are not a TI-92 Plus
// variable file.
VariableFileRead ReadVariableFile(std::span<const std::uint8_t> bytes);

// A single-variable file, or a group file for several.
std::vector<std::uint8_t> WriteVariableFile(const Variable& variable);
std::vector<std::uint8_t> WriteGroupFile(std::span<const Variable> variables);

// The file name extension for a type id (".9xz"), and the group's (".9xg").
std::string VariableFileExtension(std::uint8_t type);

}  // namespace pellux
