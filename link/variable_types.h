// The TI-92 Plus's type ids as its files on the computer know them: which
// name variables, which are folders, backups or flash objects.
#pragma once

#include <cstdint>
#include <string>

namespace pellux {

enum class TypeKind {
  Variable,  // a variable: expression, list, ..., assembly program
  Folder,    // a folder entry in a group file
  Backup,    // the calculator's whole memory
  Flash,     // an OS, application or certificate: those come in "**TIFL**" files
  Unknown,
};

TypeKind KindOfType(std::uint8_t type);

// For messages: "an assembly program (type id 0x21)".
std::string DescribeType(std::uint8_t type);

}  // namespace pellux
