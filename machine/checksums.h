// Small checksums for the machine's files: CRC-32 to catch damage, and a
// 64-bit FNV-1a hash to tell ROM images apart. Neither is cryptographic.
#pragma once

#include <cstdint>
#include <span>

namespace pellux {

// CRC-32 as in zip and PNG (reflected polynomial 0xEDB88320). Pass the
// previous result as `crc` to continue a running checksum.
std::uint32_t Crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);

// 64-bit FNV-1a over the bytes.
std::uint64_t Fnv1a64(std::span<const std::uint8_t> bytes);

}  // namespace pellux
