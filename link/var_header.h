// What a VAR packet says of a variable, and what the computer checks before
// it sends one. The header is the variable's size in memory (4 bytes,
// little-endian), its type id, the length of its name and the name itself,
// "folder\name" or a bare name; the calculator reads nothing after the name.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "link/variable_file.h"

namespace pellux {

// The most data one XDP packet carries: the 4 zero bytes that lead a
// variable's data leave this much for the variable.
constexpr std::size_t kMaxVariableData = 0xFFFF - 4;

// "folder\name", or the bare name when the folder is empty.
std::string QualifiedName(const Variable& variable);

// Why the variable cannot be sent as it stands: what keeps
// it out of a file (VariableTrouble), or more data than one packet carries.
Status CheckSendable(const Variable& variable);

// The VAR packet's data for a variable that passed CheckSendable.
std::vector<std::uint8_t> EncodeVarHeader(const Variable& variable);

struct VarHeader {
  std::uint32_t size = 0;  // the variable's size in memory, as announced
  Variable variable;       // folder, name and type; no data yet
};

// A VAR packet's data as the calculator sends it. A bare name lands in
// "main", the folder a calculator starts in. Or why the header cannot be
// read.
Result<VarHeader> ParseVarHeader(std::span<const std::uint8_t> data);

// The data of an XDP packet that carries a variable: 4 zero bytes, then the
// variable as in memory (its 2-byte big-endian size and that many bytes).
// Fills `variable.data`, or says what is wrong.
Status TakeVariableData(std::span<const std::uint8_t> xdp, Variable& variable);

// The SKIP packet's reason, in words: "a variable of that name is locked,
// archived or in use".
std::string RefusalReason(std::span<const std::uint8_t> skipData);
// Whether the refusal ends the whole transfer rather than this variable.
bool RefusalEndsTransfer(std::span<const std::uint8_t> skipData);

}  // namespace pellux
