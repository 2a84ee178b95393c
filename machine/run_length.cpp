#include "machine/run_length.h"

#include <algorithm>
#include <cstring>

namespace pellux {

namespace {

// A run shorter than this costs more as its own record than inside a literal.
constexpr std::size_t kShortestRun = 4;
constexpr unsigned kMostHeaderBytes = 5;

void AppendHeader(std::size_t count, bool run, std::vector<std::uint8_t>& out) {
  std::uint64_t h = (static_cast<std::uint64_t>(count) << 1) | (run ? 1 : 0);
  while (h >= 0x80) {
    out.push_back(static_cast<std::uint8_t>(h | 0x80));
    h >>= 7;
  }
  out.push_back(static_cast<std::uint8_t>(h));
}

void AppendLiteral(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out) {
  if (bytes.empty()) return;
  AppendHeader(bytes.size(), false, out);
  out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace

void AppendRunLength(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out) {
  std::size_t literalStart = 0;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const std::uint8_t value = bytes[i];
    std::size_t end = i + 1;
    while (end < bytes.size() && bytes[end] == value) ++end;
    if (end - i >= kShortestRun) {
      AppendLiteral(bytes.subspan(literalStart, i - literalStart), out);
      AppendHeader(end - i, true, out);
      out.push_back(value);
      literalStart = end;
    }
    i = end;
  }
  AppendLiteral(bytes.subspan(literalStart), out);
}

bool DecodeRunLength(std::span<const std::uint8_t> code, std::span<std::uint8_t> out) {
  std::size_t in = 0;
  std::size_t written = 0;
  while (in < code.size()) {
    std::uint64_t h = 0;
    unsigned shift = 0;
    for (;;) {
      if (in == code.size() || shift == 7 * kMostHeaderBytes) return false;
      const std::uint8_t b = code[in++];
      h |= static_cast<std::uint64_t>(b & 0x7F) << shift;
      shift += 7;
      if (!(b & 0x80)) break;
    }
    const std::uint64_t count = h >> 1;
    if (count == 0 || count > out.size() - written) return false;
    const auto n = static_cast<std::size_t>(count);
    if (h & 1) {
      if (in == code.size()) return false;
      std::memset(out.data() + written, code[in++], n);
    } else {
      if (n > code.size() - in) return false;
      std::memcpy(out.data() + written, code.data() + in, n);
      in += n;
    }
    written += n;
  }
  return written == out.size();
}

}  // namespace pellux
