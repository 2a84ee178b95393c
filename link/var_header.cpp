#include "link/var_header.h"

#include <algorithm>

namespace pellux {

namespace {

constexpr std::size_t kMaxNameLength = 8;

// A name or folder part the calculator can hold: no separator, no control
// character, no space.
bool NameCharactersOk(const std::string& part) {
  return std::none_of(part.begin(), part.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7F || c == '\\';
  });
}

std::string CheckName(const std::string& folder, const std::string& name) {
  if (name.empty()) return "the variable has no name";
  if (name.size() > kMaxNameLength) return "the name is longer than 8 characters";
  if (folder.size() > kMaxNameLength) return "the folder's name is longer than 8 characters";
  if (!NameCharactersOk(name) || !NameCharactersOk(folder)) {
    return "the name holds a space, a backslash or a control character";
  }
  return {};
}

}  // namespace

std::string QualifiedName(const Variable& variable) {
  return variable.folder.empty() ? variable.name : variable.folder + "\\" + variable.name;
}

std::string CheckSendable(const Variable& variable) {
  if (std::string problem = CheckName(variable.folder, variable.name); !problem.empty()) return problem;
  const std::vector<std::uint8_t>& data = variable.data;
  if (data.size() < 2) return "the variable has no data";
  if (data.size() > kMaxVariableData) {
    return "its " + std::to_string(data.size()) + " bytes are more than one packet carries (" +
           std::to_string(kMaxVariableData) + ")";
  }
  const std::size_t declared = std::size_t{data[0]} << 8 | data[1];
  if (declared + 2 != data.size()) {
    return "its size word says " + std::to_string(declared) + " bytes but " + std::to_string(data.size() - 2) +
           " follow";
  }
  return {};
}

std::vector<std::uint8_t> EncodeVarHeader(const Variable& variable) {
  const std::string name = QualifiedName(variable);
  const auto size = static_cast<std::uint32_t>(variable.data.size());
  std::vector<std::uint8_t> header(6 + name.size());
  header[0] = static_cast<std::uint8_t>(size);
  header[1] = static_cast<std::uint8_t>(size >> 8);
  header[2] = static_cast<std::uint8_t>(size >> 16);
  header[3] = static_cast<std::uint8_t>(size >> 24);
  header[4] = variable.type;
  header[5] = static_cast<std::uint8_t>(name.size());
  std::copy(name.begin(), name.end(), header.begin() + 6);
  return header;
}

VarHeader ParseVarHeader(std::span<const std::uint8_t> data) {
  VarHeader header;
  if (data.size() < 6) {
    header.error = "its " + std::to_string(data.size()) + " bytes are too few for a variable's header";
    return header;
  }
  header.size = static_cast<std::uint32_t>(data[0] | data[1] << 8 | data[2] << 16) | std::uint32_t{data[3]} << 24;
  header.variable.type = data[4];
  const std::size_t length = data[5];
  if (6 + length > data.size()) {
    header.error = "the name's length, " + std::to_string(length) + ", runs past the header's end";
    return header;
  }
  const std::string full(data.begin() + 6, data.begin() + 6 + static_cast<std::ptrdiff_t>(length));
  const std::size_t separator = full.find('\\');
  std::string folder = separator == std::string::npos ? "main" : full.substr(0, separator);
  std::string name = separator == std::string::npos ? full : full.substr(separator + 1);
  if (std::string problem = CheckName(folder, name); !problem.empty()) {
    header.error = problem;
    return header;
  }
  header.variable.folder = std::move(folder);
  header.variable.name = std::move(name);
  return header;
}

std::string TakeVariableData(std::span<const std::uint8_t> xdp, Variable& variable) {
  if (xdp.size() < 6) return "its " + std::to_string(xdp.size()) + " bytes are too few to hold a variable";
  if (std::any_of(xdp.begin(), xdp.begin() + 4, [](std::uint8_t byte) { return byte != 0; })) {
    return "the 4 bytes that lead a variable's data are not zero";
  }
  const std::span<const std::uint8_t> body = xdp.subspan(4);
  const std::size_t declared = std::size_t{body[0]} << 8 | body[1];
  if (declared + 2 != body.size()) {
    return "its size word says " + std::to_string(declared) + " bytes but " + std::to_string(body.size() - 2) +
           " came";
  }
  variable.data.assign(body.begin(), body.end());
  return {};
}

std::string RefusalReason(std::span<const std::uint8_t> skipData) {
  if (skipData.empty()) return "it gave no reason";
  switch (skipData[0]) {
    case 1:
      return "it ended the transfer";
    case 2:
      return "it skipped the variable";
    case 3:
      return "it is out of memory";
    case 5:
      return "a variable of that name is locked, archived or in use";
    default:
      return "reason code " + std::to_string(skipData[0]);
  }
}

bool RefusalEndsTransfer(std::span<const std::uint8_t> skipData) { return !skipData.empty() && skipData[0] == 1; }

}  // namespace pellux
