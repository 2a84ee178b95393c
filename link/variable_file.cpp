// Reading and writing "**TI92P*" files. The reader checks every number
// against the bytes there are before it reads, and checks the whole file
// before it answers anything.
#include "link/variable_file.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <optional>

#include "link/file_bytes.h"
#include "link/variable_types.h"

namespace pellux {

namespace {

using filebytes::Be16;
using filebytes::Hex;
using filebytes::Le16;
using filebytes::Le32;
using filebytes::Quoted;

constexpr std::string_view kSignature = "**TI92P*";
constexpr std::size_t kFolderAt = 10;
constexpr std::size_t kCommentAt = 18;
constexpr std::size_t kCommentBytes = 40;
constexpr std::size_t kCountAt = 58;
constexpr std::size_t kTableAt = 60;
constexpr std::size_t kEntryBytes = 16;
constexpr std::size_t kNameBytes = 8;
constexpr std::size_t kTrailerBytes = 6;  // the file's size and A5 5A
constexpr std::uint8_t kMarker[2] = {0xA5, 0x5A};
constexpr std::size_t kReservedBytes = 4;  // zeros before each variable's data
constexpr std::size_t kChecksumBytes = 2;
constexpr std::uint8_t kAttributeArchivedToo = 3;
constexpr const char* kDefaultFolder = "main";

// Files of the other calculators and of flash objects, told by their first
// eight bytes.
struct ForeignSignature {
  std::string_view signature;
  const char* what;
};
constexpr std::array<ForeignSignature, 9> kForeign = {{
    {"**TI89**", "a TI-89 variable file"},
    {"**TI92**", "a TI-92 variable file (for the TI-92 before the Plus)"},
    {"**TI83F*", "a TI-83 Plus or TI-84 Plus variable file"},
    {"**TI83**", "a TI-83 variable file"},
    {"**TI82**", "a TI-82 variable file"},
    {"**TI73**", "a TI-73 variable file"},
    {"**TI85**", "a TI-85 variable file"},
    {"**TI86**", "a TI-86 variable file"},
    {"**TIFL**", "an OS or flash application file (.9xu, .9xk)"},
}};

bool StartsWith(std::span<const std::uint8_t> bytes, std::string_view text) {
  return bytes.size() >= text.size() && std::memcmp(bytes.data(), text.data(), text.size()) == 0;
}

// What follows each variable's data: the sum of their bytes, modulo 65536.
std::uint16_t Checksum(std::span<const std::uint8_t> data) {
  unsigned sum = 0;
  for (const std::uint8_t b : data) sum += b;
  return static_cast<std::uint16_t>(sum);
}

std::string Count(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}
std::string Bytes(std::size_t count) { return Count(count, "byte", "bytes"); }

// Why the first bytes are not a TI-92 Plus variable file's, or nothing.
Status SignatureTrouble(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return Fail("the file is empty");
  if (StartsWith(bytes, kSignature)) return Ok();
  const std::string_view begins(reinterpret_cast<const char*>(bytes.data()),
                                std::min(bytes.size(), kSignature.size()));
  if (begins.size() < kSignature.size() && kSignature.starts_with(begins)) {
    return Fail("the file is cut short: it ends after " + Bytes(bytes.size()) + ", inside its signature");
  }
  for (const ForeignSignature& foreign : kForeign) {
    if (begins == foreign.signature) {
      return Fail(std::string("this is ") + foreign.what + " (it begins " + Quoted(foreign.signature) +
                  "), not a TI-92 Plus variable file");
    }
  }
  if (StartsWith(bytes, "PK\x03\x04")) {
    return Fail("this is a zip archive (as TI Connect's .tig files are), not a TI-92 Plus variable file");
  }
  return Fail("this is not a TI-92 Plus variable file: it begins " + Quoted(begins) +
              " where such files begin " + Quoted(kSignature));
}

struct Reader {
  std::span<const std::uint8_t> bytes;
  VariableFile out;
  std::size_t end = 0;  // where the header says the file ends: its size

  std::string Entry(std::size_t index, std::string_view name) const {
    return "entry " + std::to_string(index + 1) + " (" + Quoted(name) + ")";
  }

  Status Header() {
    if (Status signature = SignatureTrouble(bytes); !signature.ok()) return signature;
    if (bytes.size() < kTableAt) {
      return Fail("the file is cut short: it ends after " + Bytes(bytes.size()) + ", inside its header");
    }
    out.header.folder = filebytes::FieldText(bytes, kFolderAt, kNameBytes);
    out.header.comment = filebytes::FieldText(bytes, kCommentAt, kCommentBytes);
    if (!out.header.folder.empty()) {
      if (Status trouble = NameTrouble(out.header.folder); !trouble.ok()) {
        return Fail("the folder named in the header, " + Quoted(out.header.folder) +
                    ", will not do: " + trouble.message());
      }
    }
    const std::size_t count = Le16(bytes, kCountAt);
    if (count == 0) return Fail("the file lists no variables");
    const std::size_t tableEnd = kTableAt + count * kEntryBytes;
    if (tableEnd + kTrailerBytes > bytes.size()) {
      return Fail("the header counts " + Count(count, "entry", "entries") + ", whose table runs to byte " +
                  std::to_string(tableEnd + kTrailerBytes) + ", but the file ends at byte " +
                  std::to_string(bytes.size()) + ": the file is cut short, or the count is wrong");
    }
    end = Le32(bytes, tableEnd);
    if (end > bytes.size()) {
      return Fail("the file is cut short: its header says it is " + Bytes(end) + " long, but it has " +
                  std::to_string(bytes.size()));
    }
    if (end < bytes.size()) {
      return Fail("the header says the file is " + Bytes(end) + " long, but it has " +
                  std::to_string(bytes.size()));
    }
    if (bytes[tableEnd + 4] != kMarker[0] || bytes[tableEnd + 5] != kMarker[1]) {
      return Fail("the A5 5A after the entry table (at byte " + std::to_string(tableEnd + 4) +
                  ") is missing: found " + Hex(bytes[tableEnd + 4]) + " " + Hex(bytes[tableEnd + 5]));
    }
    return Ok();
  }

  Status Entries() {
    const std::size_t count = Le16(bytes, kCountAt);
    std::size_t next = kTableAt + count * kEntryBytes + kTrailerBytes;  // where the next variable must begin
    std::string folder = out.header.folder.empty() ? kDefaultFolder : out.header.folder;
    std::size_t folderEntry = 0, folderSays = 0, folderHolds = 0;  // the open folder entry, if any
    std::string previous;                                          // the variable before, for messages
    const auto closeFolder = [&]() -> Status {
      if (!out.group || folderSays == folderHolds) return Ok();
      return Fail(Entry(folderEntry, folder) + " says " +
                  Count(folderSays, "variable follows", "variables follow") + " in its folder, but " +
                  std::to_string(folderHolds) + (folderHolds == 1 ? " does" : " do"));
    };

    for (std::size_t index = 0; index < count; ++index) {
      const std::size_t at = kTableAt + index * kEntryBytes;
      const std::size_t offset = Le32(bytes, at);
      const std::string name = filebytes::FieldText(bytes, at + 4, kNameBytes);
      const std::uint8_t type = bytes[at + 12];
      std::uint8_t attribute = bytes[at + 13];
      const std::string where = Entry(index, name);
      if (name.empty()) return Fail("entry " + std::to_string(index + 1) + " has no name");
      if (Status trouble = NameTrouble(name); !trouble.ok())
        return Fail(where + " has a name that will not do: " + trouble.message());

      switch (KindOfType(type)) {
        case TypeKind::Folder:
          if (Status closed = closeFolder(); !closed.ok()) return closed;
          out.group = true;
          folder = name;
          folderEntry = index;
          folderSays = Le16(bytes, at + 14);
          folderHolds = 0;
          continue;
        case TypeKind::Variable:
          break;
        case TypeKind::Backup:
          return Fail(where + " is " + DescribeType(type) + "; Pellux reads variables, not backups");
        case TypeKind::Flash:
          return Fail(where + " is " + DescribeType(type) +
                      ", which comes in a \"**TIFL**\" flash file, not a variable file");
        case TypeKind::Unknown:
          return Fail(where + " has " + DescribeType(type) + ", which names no variable of the TI-92 Plus");
      }
      if (attribute == kAttributeArchivedToo) attribute = 2;
      if (attribute > 2) {
        return Fail(where + " has attribute " + Hex(attribute) +
                    "; the calculator knows 0 (none), 1 (locked), 2 (archived)");
      }
      if (out.group && ++folderHolds > folderSays) {
        return Fail(Entry(folderEntry, folder) + " says " +
                    Count(folderSays, "variable follows", "variables follow") +
                    " in its folder, but more do");
      }

      // The data: where the entry points, 4 zero bytes, the size word, the
      // data, the checksum; each variable right after the one before.
      if (offset >= end) {
        return Fail(where + " points at byte " + std::to_string(offset) +
                    ", past the end of the file (byte " + std::to_string(end) + ")");
      }
      if (offset < next) {
        return Fail(where + " points at byte " + std::to_string(offset) + ", inside " +
                    (previous.empty() ? "the header and entry table" : "the variable " + Quoted(previous)) +
                    ", which ends at byte " + std::to_string(next));
      }
      if (offset > next) {
        return Fail(where + " points at byte " + std::to_string(offset) + ", but " +
                    (previous.empty() ? "the header and entry table end"
                                      : "the variable " + Quoted(previous) + " ends") +
                    " at byte " + std::to_string(next) + ": " + Bytes(offset - next) +
                    " between belong to no variable");
      }
      const std::size_t dataAt = offset + kReservedBytes;
      if (dataAt + 2 > end) {
        return Fail("the file is cut short: it ends at byte " + std::to_string(end) +
                    ", before the size of " + where);
      }
      const std::size_t size = Be16(bytes, dataAt);
      const std::size_t dataEnd = dataAt + 2 + size;
      if (dataEnd + kChecksumBytes > end) {
        return Fail("the data of " + where + " are " + Bytes(size) + " by their size word (at byte " +
                    std::to_string(dataAt) + "), running with their checksum to byte " +
                    std::to_string(dataEnd + kChecksumBytes) + ", but the file ends at byte " +
                    std::to_string(end) + ": the file is cut short, or the size is wrong");
      }
      const auto data = bytes.subspan(dataAt, dataEnd - dataAt);
      const std::uint16_t sum = Checksum(data);
      const std::uint16_t stored = Le16(bytes, dataEnd);
      if (stored != sum) {
        return Fail("the checksum of " + where + " is wrong: the file says " + Hex(stored, 4) + " (at byte " +
                    std::to_string(dataEnd) + "), its data add up to " + Hex(sum, 4) +
                    ": the file is damaged");
      }
      out.variables.push_back(Variable{folder, name, type, attribute, {data.begin(), data.end()}});
      previous = name;
      next = dataEnd + kChecksumBytes;
    }
    if (Status closed = closeFolder(); !closed.ok()) return closed;
    if (out.variables.empty()) return Fail("the file lists folders but no variables");
    if (next != end) {
      return Fail("the header says the file is " + Bytes(end) + " long, but its last variable, " +
                  Quoted(previous) + ", ends at byte " + std::to_string(next));
    }
    return Ok();
  }
};

// One entry of a file being written: a folder (variable == nullptr) or a
// variable.
struct OutEntry {
  std::string name;
  const Variable* variable = nullptr;
  std::uint16_t folderCount = 0;
};

std::vector<std::uint8_t> Write(const std::vector<OutEntry>& entries, const VariableFileHeader& header) {
  using filebytes::PutField;
  using filebytes::PutLe16;
  using filebytes::PutLe32;
  if (entries.empty() || entries.size() > std::numeric_limits<std::uint16_t>::max()) return {};
  std::size_t total = kTableAt + entries.size() * kEntryBytes + kTrailerBytes;
  std::vector<std::uint32_t> offsets;
  for (const OutEntry& entry : entries) {
    offsets.push_back(static_cast<std::uint32_t>(total));  // a folder entry points at its first variable
    if (entry.variable) total += kReservedBytes + entry.variable->data.size() + kChecksumBytes;
    if (total > std::numeric_limits<std::uint32_t>::max()) return {};
  }

  std::vector<std::uint8_t> out(kSignature.begin(), kSignature.end());
  out.reserve(total);
  out.push_back(0x01);
  out.push_back(0x00);
  PutField(out, header.folder, kNameBytes);
  PutField(out, header.comment, kCommentBytes);
  PutLe16(out, static_cast<std::uint32_t>(entries.size()));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const OutEntry& entry = entries[i];
    PutLe32(out, offsets[i]);
    PutField(out, entry.name, kNameBytes);
    out.push_back(entry.variable ? entry.variable->type : kFolderType);
    out.push_back(entry.variable ? entry.variable->attribute : 0);
    PutLe16(out, entry.folderCount);
  }
  PutLe32(out, static_cast<std::uint32_t>(total));
  out.insert(out.end(), std::begin(kMarker), std::end(kMarker));
  for (const OutEntry& entry : entries) {
    if (!entry.variable) continue;
    out.insert(out.end(), kReservedBytes, 0);
    const std::vector<std::uint8_t>& data = entry.variable->data;
    out.insert(out.end(), data.begin(), data.end());
    PutLe16(out, Checksum(data));
  }
  return out;
}

std::string FolderOf(const Variable& variable) {
  return variable.folder.empty() ? kDefaultFolder : variable.folder;
}

}  // namespace

VariableFileRead ReadVariableFile(std::span<const std::uint8_t> bytes) {
  Reader reader{bytes, {}, 0};
  Status read = reader.Header();
  if (read.ok()) read = reader.Entries();
  if (!read.ok()) return read.error();
  return std::move(reader.out);
}

std::vector<std::uint8_t> WriteVariableFile(const Variable& variable) {
  return WriteVariableFile(variable, "");
}

std::vector<std::uint8_t> WriteVariableFile(const Variable& variable, std::string_view comment) {
  if (!VariableTrouble(variable).ok()) return {};
  return Write({OutEntry{variable.name, &variable, 0}},
               VariableFileHeader{FolderOf(variable), std::string(comment)});
}

std::vector<std::uint8_t> WriteGroupFile(std::span<const Variable> variables) {
  return WriteGroupFile(variables, VariableFileHeader{kDefaultFolder, ""});
}

std::vector<std::uint8_t> WriteGroupFile(std::span<const Variable> variables,
                                         const VariableFileHeader& header) {
  if (!header.folder.empty() && !NameTrouble(header.folder).ok()) return {};
  std::vector<OutEntry> entries;
  std::size_t folderEntry = 0;
  for (const Variable& variable : variables) {
    if (!VariableTrouble(variable).ok()) return {};
    const std::string folder = FolderOf(variable);
    if (entries.empty() || entries[folderEntry].name != folder ||
        entries[folderEntry].folderCount == 0xFFFF) {
      folderEntry = entries.size();
      entries.push_back(OutEntry{folder, nullptr, 0});
    }
    ++entries[folderEntry].folderCount;
    entries.push_back(OutEntry{variable.name, &variable, 0});
  }
  return Write(entries, header);
}

std::vector<std::uint8_t> RewriteVariableFile(const VariableFile& file) {
  if (file.variables.empty()) return {};
  if (file.group || file.variables.size() > 1) return WriteGroupFile(file.variables, file.header);
  // A single variable's folder is the header's; an empty one read as "main".
  const Variable& variable = file.variables.front();
  if (!VariableTrouble(variable).ok()) return {};
  VariableFileHeader header = file.header;
  if (FolderOf(variable) != (header.folder.empty() ? kDefaultFolder : header.folder))
    header.folder = variable.folder;
  return Write({OutEntry{variable.name, &variable, 0}}, header);
}

}  // namespace pellux
