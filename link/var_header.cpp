#include "link/var_header.h"

#include <algorithm>

#include "link/file_bytes.h"

namespace pellux {

std::string QualifiedName(const Variable& variable) {
  return variable.folder.empty() ? variable.name : variable.folder + "\\" + variable.name;
}

Status CheckSendable(const Variable& variable) {
  if (Status trouble = VariableTrouble(variable); !trouble.ok()) return trouble;
  if (variable.data.size() > kMaxVariableData) {
    return Fail("its " + std::to_string(variable.data.size()) + " bytes are more than one packet carries (" +
                std::to_string(kMaxVariableData) + ")");
  }
  return Ok();
}

std::vector<std::uint8_t> EncodeVarHeader(const Variable& variable) {
  const std::string name = QualifiedName(variable);
  std::vector<std::uint8_t> header;
  filebytes::PutLe32(header, static_cast<std::uint32_t>(variable.data.size()));
  header.push_back(variable.type);
  header.push_back(static_cast<std::uint8_t>(name.size()));
  header.insert(header.end(), name.begin(), name.end());
  return header;
}

Result<VarHeader> ParseVarHeader(std::span<const std::uint8_t> data) {
  VarHeader header;
  if (data.size() < 6)
    return Fail("its " + std::to_string(data.size()) + " bytes are too few for a variable's header");
  header.size = filebytes::Le32(data, 0);
  header.variable.type = data[4];
  const std::size_t length = data[5];
  if (6 + length > data.size()) {
    return Fail("the name's length, " + std::to_string(length) + ", runs past the header's end");
  }
  const std::string full(data.begin() + 6, data.begin() + 6 + static_cast<std::ptrdiff_t>(length));
  const std::size_t separator = full.find('\\');
  std::string folder = separator == std::string::npos ? "main" : full.substr(0, separator);
  std::string name = separator == std::string::npos ? full : full.substr(separator + 1);
  if (Status trouble = DescribeNameTrouble("the name", name); !trouble.ok()) return trouble.error();
  if (Status trouble = DescribeNameTrouble("the folder name", folder); !trouble.ok()) return trouble.error();
  header.variable.folder = std::move(folder);
  header.variable.name = std::move(name);
  return header;
}

Status TakeVariableData(std::span<const std::uint8_t> xdp, Variable& variable) {
  if (xdp.size() < 6)
    return Fail("its " + std::to_string(xdp.size()) + " bytes are too few to hold a variable");
  if (std::any_of(xdp.begin(), xdp.begin() + 4, [](std::uint8_t byte) { return byte != 0; })) {
    return Fail("the 4 bytes that lead a variable's data are not zero");
  }
  const std::span<const std::uint8_t> body = xdp.subspan(4);
  const std::size_t declared = filebytes::Be16(body, 0);
  if (declared + 2 != body.size()) {
    return Fail("its size word says " + std::to_string(declared) + " bytes but " +
                std::to_string(body.size() - 2) + " came");
  }
  variable.data.assign(body.begin(), body.end());
  return Ok();
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
