// Reader for the MC68000 single-instruction test vectors (the binary
// SingleStepTests layout: little-endian, length-prefixed blocks).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/result.h"

namespace pellux::conformance {

struct RamWord {
  std::uint32_t address;  // even, below 0x1000000
  std::uint16_t value;    // high byte at address, low byte at address + 1
};

struct VectorState {
  std::uint32_t d[8];
  std::uint32_t a[7];
  std::uint32_t usp, ssp, sr, pc;
  std::uint32_t prefetch[2];
  std::vector<RamWord> ram;
};

enum class TransactionKind : std::uint8_t { Idle = 0, Write = 1, Read = 2, Tas = 3, ReadError = 4, WriteError = 5 };

struct Transaction {
  TransactionKind kind;
  std::uint32_t functionCode, address, data;
};

struct VectorTest {
  std::string name;
  VectorState initial, final;
  std::vector<Transaction> transactions;
};

// Reads a whole file; when it cannot be read or is malformed, returns false
// with the reason (without the file's name).
Result<std::vector<VectorTest>> ReadVectorFile(const std::filesystem::path& path);

}  // namespace pellux::conformance
