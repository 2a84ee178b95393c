#include "tests/state_edit.h"

#include <gtest/gtest.h>

#include <span>

#include "machine/little_endian.h"
#include "machine/run_length.h"

namespace pellux::test {

namespace {

constexpr std::size_t kCountAt = 12;
constexpr std::size_t kChecksumBytes = 4;

std::ptrdiff_t Offset(std::size_t at) { return static_cast<std::ptrdiff_t>(at); }

}  // namespace

std::uint64_t GetLe(const StateBytes& bytes, std::size_t at, std::size_t count) {
  return LoadLe(&std::span(bytes).subspan(at, count)[0], count);
}

void PutLe(StateBytes& bytes, std::size_t at, std::uint64_t value, std::size_t count) {
  StoreLe(&std::span(bytes).subspan(at, count)[0], value, count);
}

std::size_t SectionAt(const StateBytes& state, std::uint16_t id) {
  std::size_t at = kStateHeaderBytes;
  while (GetLe(state, at, 2) != id) at += kSectionHeaderBytes + GetLe(state, at + 8, 4);
  return at;
}

StateBytes SectionBytes(const StateBytes& state, std::uint16_t id) {
  const std::size_t at = SectionAt(state, id);
  const auto stored = std::span(state).subspan(at + kSectionHeaderBytes, GetLe(state, at + 8, 4));
  StateBytes raw(GetLe(state, at + 4, 4));
  if (state[at + 2] == 1) {
    EXPECT_TRUE(DecodeRunLength(stored, raw)) << "section " << id;
  } else {
    raw.assign(stored.begin(), stored.end());
  }
  return raw;
}

void SetSectionBytes(StateBytes& state, std::uint16_t id, const StateBytes& raw) {
  const std::size_t at = SectionAt(state, id);
  const std::size_t storedLength = GetLe(state, at + 8, 4);
  state[at + 2] = 0;
  PutLe(state, at + 4, raw.size(), 4);
  PutLe(state, at + 8, raw.size(), 4);
  const auto from = state.begin() + Offset(at + kSectionHeaderBytes);
  state.erase(from, from + Offset(storedLength));
  state.insert(state.begin() + Offset(at + kSectionHeaderBytes), raw.begin(), raw.end());
}

void SetField(StateBytes& state, std::uint16_t id, std::size_t offset, std::uint64_t value,
              std::size_t width) {
  StateBytes raw = SectionBytes(state, id);
  PutLe(raw, offset, value, width);
  SetSectionBytes(state, id, raw);
}

void AddSection(StateBytes& state, std::uint16_t id, std::uint8_t flags, const StateBytes& raw) {
  StateBytes section(kSectionHeaderBytes);
  PutLe(section, 0, id, 2);
  section[3] = flags;
  PutLe(section, 4, raw.size(), 4);
  PutLe(section, 8, raw.size(), 4);
  section.insert(section.end(), raw.begin(), raw.end());
  state.insert(state.end() - kChecksumBytes, section.begin(), section.end());
  PutLe(state, kCountAt, GetLe(state, kCountAt, 4) + 1, 4);
}

void RemoveSection(StateBytes& state, std::uint16_t id) {
  const std::size_t at = SectionAt(state, id);
  const auto from = state.begin() + Offset(at);
  state.erase(from, from + Offset(kSectionHeaderBytes + GetLe(state, at + 8, 4)));
  PutLe(state, kCountAt, GetLe(state, kCountAt, 4) - 1, 4);
}

}  // namespace pellux::test
