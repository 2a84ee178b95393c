// The type table, and what the calculator accepts as names.
#include "link/variable_types.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "link/file_bytes.h"
#include "link/variable_file.h"

namespace pellux {

namespace {

struct TypeInfo {
  std::uint8_t id;
  TypeKind kind;
  const char* extension;
  const char* what;  // for messages
};

// Every type id that the TI-92 Plus's files on the computer use, with the
// extension the link software gives them.
constexpr std::array<TypeInfo, 21> kTypes = {{
    {0x00, TypeKind::Variable, ".9xe", "an expression"},
    {0x04, TypeKind::Variable, ".9xl", "a list"},
    {0x06, TypeKind::Variable, ".9xm", "a matrix"},
    {0x0A, TypeKind::Variable, ".9xc", "a data variable"},
    {0x0B, TypeKind::Variable, ".9xt", "a text"},
    {0x0C, TypeKind::Variable, ".9xs", "a string"},
    {0x0D, TypeKind::Variable, ".9xd", "a graph database"},
    {0x0E, TypeKind::Variable, ".9xa", "a figure"},
    {0x10, TypeKind::Variable, ".9xi", "a picture"},
    {0x12, TypeKind::Variable, ".9xp", "a program"},
    {0x13, TypeKind::Variable, ".9xf", "a function"},
    {0x14, TypeKind::Variable, ".9xx", "a macro"},
    {0x18, TypeKind::Variable, ".9xclk", "a clock"},
    {0x1C, TypeKind::Variable, ".9xy", "an other-type variable"},
    {kBackupType, TypeKind::Backup, ".9xg", "a backup of the calculator's whole memory"},
    {kFolderType, TypeKind::Folder, "", "a folder"},
    {0x21, TypeKind::Variable, ".9xz", "an assembly program"},
    {0x22, TypeKind::Variable, ".9xidl", "an ID list"},
    {0x23, TypeKind::Flash, ".9xu", "an operating system"},
    {0x24, TypeKind::Flash, ".9xk", "a flash application"},
    {0x25, TypeKind::Flash, ".9xq", "a certificate"},
}};

const TypeInfo* FindType(std::uint8_t type) {
  const auto found =
      std::find_if(kTypes.begin(), kTypes.end(), [type](const TypeInfo& t) { return t.id == type; });
  return found == kTypes.end() ? nullptr : &*found;
}

bool IsAsciiLetter(std::uint8_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The calculator's alphabet beyond ASCII: Greek letters 0x80-0x94, micro
// 0xB5, accented Latin letters 0xC0-0xFF without the multiplication and
// division signs.
bool IsCalculatorLetter(std::uint8_t c) {
  return IsAsciiLetter(c) || (c >= 0x80 && c <= 0x94) || c == 0xB5 || (c >= 0xC0 && c != 0xD7 && c != 0xF7);
}

}  // namespace

TypeKind KindOfType(std::uint8_t type) {
  const TypeInfo* info = FindType(type);
  return info ? info->kind : TypeKind::Unknown;
}

std::string DescribeType(std::uint8_t type) {
  const TypeInfo* info = FindType(type);
  const std::string id = "type id " + filebytes::Hex(type);
  return info ? std::string(info->what) + " (" + id + ")" : id;
}

std::string VariableFileExtension(std::uint8_t type) {
  const TypeInfo* info = FindType(type);
  return info ? info->extension : "";
}

Status NameTrouble(std::string_view name) {
  using filebytes::Hex;
  if (name.empty()) return Fail("it is empty");
  if (name.size() > 8)
    return Fail("it has " + std::to_string(name.size()) + " characters, and names have at most 8");
  const auto first = static_cast<std::uint8_t>(name[0]);
  if (first >= '0' && first <= '9') return Fail("it begins with a digit");
  for (const char c : name) {
    const auto byte = static_cast<std::uint8_t>(c);
    if (!IsCalculatorLetter(byte) && !(byte >= '0' && byte <= '9') && byte != '_') {
      return Fail("the calculator takes no " +
                  (byte == ' ' ? std::string("space") : "character " + Hex(byte)) + " in names");
    }
  }
  return Ok();
}

Status DescribeNameTrouble(std::string_view what, std::string_view name) {
  const Status trouble = NameTrouble(name);
  if (trouble.ok()) return trouble;
  return Fail(std::string(what) + " " + filebytes::Quoted(name) + " will not do: " + trouble.message());
}

Status VariableTrouble(const Variable& variable) {
  if (Status trouble = DescribeNameTrouble("the name", variable.name); !trouble.ok()) return trouble;
  if (!variable.folder.empty()) {
    if (Status trouble = DescribeNameTrouble("the folder name", variable.folder); !trouble.ok())
      return trouble;
  }
  if (KindOfType(variable.type) != TypeKind::Variable) {
    return Fail(DescribeType(variable.type) + " is no variable of the TI-92 Plus");
  }
  if (variable.attribute > 2)
    return Fail("attribute " + std::to_string(variable.attribute) + " is none of 0, 1, 2");
  if (variable.data.size() < 2) return Fail("its data lack the 2-byte size at their start");
  const std::size_t said = static_cast<std::size_t>(variable.data[0] << 8 | variable.data[1]);
  if (said != variable.data.size() - 2) {
    return Fail("its data begin with the size " + std::to_string(said) + " but " +
                std::to_string(variable.data.size() - 2) + " bytes follow");
  }
  return Ok();
}

}  // namespace pellux
