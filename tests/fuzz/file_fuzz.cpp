#include "tests/fuzz/file_fuzz.h"

#include <vector>

#include "link/flash_file.h"
#include "link/variable_file.h"
#include "machine/calculator.h"

namespace pellux::fuzz {

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Le32(const Bytes& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16) |
         static_cast<std::uint32_t>(b[at + 3]) << 24;
}

// Sets the file's size to its length and each variable's checksum to fit
// its data, wherever the entries let that be done inside the bytes.
void Reseal(Bytes& b) {
  constexpr std::size_t kCountAt = 58, kTableAt = 60, kEntryBytes = 16;
  if (b.size() < kTableAt) return;
  const std::size_t count = b[kCountAt] | b[kCountAt + 1] << 8;
  const std::size_t tableEnd = kTableAt + count * kEntryBytes;
  if (tableEnd + 4 > b.size()) return;
  for (int i = 0; i < 4; ++i) b[tableEnd + i] = static_cast<std::uint8_t>(b.size() >> (8 * i));
  for (std::size_t entry = 0; entry < count; ++entry) {
    const std::size_t sizeWord = std::size_t{Le32(b, kTableAt + entry * kEntryBytes)} + 4;
    if (sizeWord + 2 > b.size()) continue;
    const std::size_t end = sizeWord + 2 + (b[sizeWord] << 8 | b[sizeWord + 1]);
    if (end + 2 > b.size()) continue;
    unsigned sum = 0;
    for (std::size_t i = sizeWord; i < end; ++i) sum += b[i];
    b[end] = static_cast<std::uint8_t>(sum);
    b[end + 1] = static_cast<std::uint8_t>(sum >> 8);
  }
}

std::string CheckVariableFile(const Bytes& bytes) {
  const VariableFileRead read = ReadVariableFile(bytes);
  if (!read.ok()) return "";
  if (read->variables.empty()) return "a variable file read to no variables";
  for (const Variable& v : read->variables) {
    if (const Status trouble = VariableTrouble(v); !trouble.ok())
      return "a variable read that cannot be written: " + trouble.message();
  }
  const Bytes written = RewriteVariableFile(*read);
  const VariableFileRead again = ReadVariableFile(written);
  if (!again.ok()) return "a written variable file is refused: " + again.message();
  if (read->variables != again->variables) return "a written variable file reads to other variables";
  if (again->group != read->group || again->header.comment != read->header.comment) {
    return "a written variable file reads to another header";
  }
  if (RewriteVariableFile(*again) != written) return "writing a variable file a second time changed it";
  return {};
}

std::string CheckFlashFile(const Bytes& bytes) {
  const FlashFileRead read = ReadFlashFile(bytes);
  if (!read.ok()) return "";
  if (read->empty()) return "a flash file read to no parts";
  for (const FlashPart& part : *read) {
    const FlashFileRead again = ReadFlashFile(WriteFlashFile(part));
    if (!again.ok()) return "a written flash part is refused: " + again.message();
    if (again->size() != 1) return "a written flash part reads to another number of parts";
    const FlashPart& same = (*again)[0];
    if (same.name != part.name || same.deviceType != part.deviceType || same.dataType != part.dataType ||
        same.revisionMajor != part.revisionMajor || same.revisionMinor != part.revisionMinor ||
        same.data != part.data) {
      return "a written flash part reads to another part";
    }
  }
  return {};
}

std::string CheckFlashImage(const Bytes& bytes) {
  const FlashImage image = FlashImageFromOsFile(bytes);
  if (!image.ok()) return "";
  return image->size() == kRomSize ? "" : "a flash image that is not 2 MB";
}

}  // namespace

std::string ReadFilesFromBytes(const std::uint8_t* data, std::size_t size) {
  const std::uint8_t options = size > 0 ? data[0] : 0;
  Bytes bytes(data + (size > 0 ? 1 : 0), data + size);
  if (options & 1) Reseal(bytes);
  for (auto check : {CheckVariableFile, CheckFlashFile, CheckFlashImage}) {
    if (std::string trouble = check(bytes); !trouble.empty()) return trouble;
  }
  return {};
}

}  // namespace pellux::fuzz
