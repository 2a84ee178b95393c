// The keyboard: a matrix of 10 rows by 8 columns that the calculator scans
// through ports 0x18, 0x19 and 0x1B, and the ON key on port 0x1A.
//
// A press is only recorded in the matrix: port 0x1B follows it when the
// calculator next writes a row select.
#include <algorithm>
#include <cstdint>

#include "cpu/exceptions.h"
#include "machine/calculator.h"
#include "machine/memory_bus.h"

namespace pellux {

namespace {

constexpr unsigned kMatrixKeys = kKeyRows * 8;  // codes 0..79
constexpr std::uint8_t kOnDown = 0x14;
constexpr std::uint8_t kOnUp = 0x16;
constexpr std::uint8_t kRowUp = 0xFF;
constexpr int kReleaseBursts = 10;

std::uint8_t ColumnBit(unsigned code) { return static_cast<std::uint8_t>(1u << (code % 8)); }

// After a release the calculator gets ten periodic interrupts, each followed
// by a short burst, to notice that the key went up. Answers 1 when the
// processor should run on: it was still running after the last burst, or a
// breakpoint ended the sequence.
std::uint32_t ReleaseBurst(Calculator& m) {
  int result = 0;
  for (int i = 0; i < kReleaseBursts; ++i) {
    RequestInterrupt(m, level::kPeriodic);
    result = m.RunBurst();
    if (result >= 2) return 1;
  }
  return result == 0 ? 1 : 0;
}

}  // namespace

std::uint32_t Calculator::KeyDown(unsigned code) {
  if (code == kOnKeyCode) {
    ports[port::kOnKey] = kOnDown;
    RequestInterrupt(*this, level::kOnKey);
    return 1;
  }
  if (code >= kMatrixKeys) return 0;  // no such key
  keyMatrix[code / 8] &= static_cast<std::uint8_t>(~ColumnBit(code));
  anyKeyDown = 1;
  RequestInterrupt(*this, level::kKeyboard);
  return (wakeMask & wake::kKeyboard) ? 1 : 0;
}

std::uint32_t Calculator::KeyUp(unsigned code) {
  if (code == kOnKeyCode) {
    ports[port::kOnKey] = kOnUp;
    return 0;
  }
  if (code >= kMatrixKeys) return 0;
  std::uint8_t& row = keyMatrix[code / 8];
  if (row & ColumnBit(code)) return 0;  // not down
  row |= ColumnBit(code);
  anyKeyDown = std::any_of(keyMatrix.begin(), keyMatrix.end(), [](std::uint8_t r) { return r != kRowUp; });
  return ReleaseBurst(*this);
}

std::uint32_t Calculator::ReleaseAllKeys() {
  ports[port::kOnKey] = kOnUp;
  if (!anyKeyDown) return 0;
  keyMatrix.fill(kRowUp);
  anyKeyDown = 0;
  return ReleaseBurst(*this);
}

}  // namespace pellux
