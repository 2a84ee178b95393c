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

constexpr unsigned kMatrixKeys = kMatrixKeyCount;
constexpr std::uint8_t kOnDown = 0x14;
constexpr std::uint8_t kOnUp = 0x16;
constexpr std::uint8_t kRowUp = 0xFF;
constexpr int kReleaseBursts = 10;

std::uint8_t ColumnBit(unsigned code) { return static_cast<std::uint8_t>(1u << (code % 8)); }

// After a release the calculator gets ten periodic interrupts, each followed
// by a short burst, to notice that the key went up. Answers whether the
// processor should run on: it was still running after the last burst, or a
// breakpoint ended the sequence.
bool ReleaseBurst(Calculator& m) {
  StopReason outcome = StopReason::None;
  for (int i = 0; i < kReleaseBursts; ++i) {
    RequestInterrupt(m, level::kPeriodic);
    outcome = m.RunBurst();
    if (IsDebugStop(outcome)) return true;
  }
  return outcome == StopReason::None;
}

}  // namespace

bool Calculator::KeyDown(unsigned code) {
  if (code == kOnKeyCode) {
    ports[port::kOnKey] = kOnDown;
    RequestInterrupt(*this, level::kOnKey);
    return true;
  }
  if (code >= kMatrixKeys) return false;  // no such key
  keyMatrix[code / 8] &= static_cast<std::uint8_t>(~ColumnBit(code));
  anyKeyDown = 1;
  RequestInterrupt(*this, level::kKeyboard);
  return (wakeMask & wake::kKeyboard) != 0;
}

bool Calculator::KeyUp(unsigned code) {
  if (code == kOnKeyCode) {
    ports[port::kOnKey] = kOnUp;
    return false;
  }
  if (code >= kMatrixKeys) return false;
  std::uint8_t& row = keyMatrix[code / 8];
  if (row & ColumnBit(code)) return false;  // not down
  row |= ColumnBit(code);
  anyKeyDown = std::any_of(keyMatrix.begin(), keyMatrix.end(), [](std::uint8_t r) { return r != kRowUp; });
  return ReleaseBurst(*this);
}

bool Calculator::ReleaseAllKeys() {
  ports[port::kOnKey] = kOnUp;
  if (!anyKeyDown) return false;
  keyMatrix.fill(kRowUp);
  anyKeyDown = 0;
  return ReleaseBurst(*this);
}

}  // namespace pellux
