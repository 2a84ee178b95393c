// The calculator's variable files on the computer: "**TI92P*" files holding
// one variable (.9xz, .9xp, .9xs, .9xt, ...) or a group of them (.9xg), as
// the link software of the computer reads and writes them. Reading knows
// nothing of the link port or the protocol.
//
// The layout, all numbers little-endian except the variables' own size words:
//   0   "**TI92P*", then 01 00
//   10  the default folder, 8 bytes padded with zeros
//   18  a comment, 40 bytes padded with zeros
//   58  the number of entries (2 bytes)
//   60  the entries, 16 bytes each: the offset of the variable's data (4),
//       its name (8), type id, attribute, 2 bytes (in a folder entry: how
//       many variables follow in that folder)
//   then the file's size (4), A5 5A, and for each variable: 4 zero bytes,
//   its data as in the calculator's memory (a 2-byte big-endian size and
//   that many bytes) and the sum of those data bytes (2 bytes).
// A group names each variable's folder with a folder entry (type 0x1F)
// before the variables in it; a single-variable file names it in the
// header.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace pellux {

// One variable as the calculator stores it and the link carries it.
struct Variable {
  std::string folder;              // "main"; at most 8 characters
  std::string name;                // at most 8 characters
  std::uint8_t type = 0;           // the calculator's type id: 0x21 assembly program, 0x12 program, ...
  std::uint8_t attribute = 0;      // 0 none, 1 locked, 2 archived
  std::vector<std::uint8_t> data;  // as in the calculator's memory: a 2-byte big-endian size, then that many bytes

  friend bool operator==(const Variable&, const Variable&) = default;
};

// What a file says besides its variables.
struct VariableFileHeader {
  std::string folder;   // the default folder: a single variable's own; often empty in groups
  std::string comment;  // at most 40 characters
};

struct VariableFile {
  std::vector<Variable> variables;  // in the file's order
  VariableFileHeader header;
  bool group = false;  // the file names folders in entries of their own (a .9xg)
};

// A file's variables, or what is wrong with the bytes, for the user.
using VariableFileRead = Result<VariableFile>;

// The variables of a file's bytes, or why the bytes are not a TI-92 Plus
// variable file. Reads only inside the span. An attribute of 3 (as some
// link software writes "archived") reads as 2.
VariableFileRead ReadVariableFile(std::span<const std::uint8_t> bytes);

// A single-variable file, or a group file for several. The writers take
// variables that VariableTrouble finds nothing wrong with (as every variable
// ReadVariableFile returns) and answer no bytes at all for any other. A
// group writes a folder entry wherever the folder changes from the variable
// before; variables with no folder go to "main".
std::vector<std::uint8_t> WriteVariableFile(const Variable& variable);
std::vector<std::uint8_t> WriteVariableFile(const Variable& variable, std::string_view comment);
std::vector<std::uint8_t> WriteGroupFile(std::span<const Variable> variables);
std::vector<std::uint8_t> WriteGroupFile(std::span<const Variable> variables,
                                         const VariableFileHeader& header);

// A file's bytes again from what ReadVariableFile made of them: the same
// bytes for files written as the link software writes them.
std::vector<std::uint8_t> RewriteVariableFile(const VariableFile& file);

// What keeps a variable out of a file: a name or
// folder the calculator does not accept, a type id it has no variables of,
// an unknown attribute, data whose size word does not match their length.
Status VariableTrouble(const Variable& variable);

// Why a variable or folder name is not one the calculator accepts: 1 to 8 characters, letters of the
// calculator's alphabet (a-z, A-Z, Greek, accented), digits and '_', not beginning with a digit.
Status NameTrouble(std::string_view name);
// The same for a message: "the name "1x" will not do: it begins with a
// digit", with `what` ("the name", "the folder name") leading.
Status DescribeNameTrouble(std::string_view what, std::string_view name);

// The file name extension for a type id (".9xz"; ".9xu" and ".9xk" for the
// OS and applications, which come in flash files), "" for an id the TI-92
// Plus has no files of; and the group's (".9xg").
std::string VariableFileExtension(std::uint8_t type);
inline constexpr std::string_view kGroupFileExtension = ".9xg";

// The type ids of folder entries and of whole-memory backups.
inline constexpr std::uint8_t kFolderType = 0x1F;
inline constexpr std::uint8_t kBackupType = 0x1D;

}  // namespace pellux
