// Saved states edited by hand, for the tests that check what a loader makes
// of them: sections found, rewritten, added and removed by the layout
// SAVE_STATE_FORMAT.md gives, without the loader's own code. Nothing here
// seals the state: call SealState after the edits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pellux::test {

using StateBytes = std::vector<std::uint8_t>;

// Section ids.
namespace section {
constexpr std::uint16_t kProcessor = 1, kChips = 2, kRam = 3, kFlash = 4, kLcd = 5, kPacing = 6, kLink = 7;
}

constexpr std::size_t kStateHeaderBytes = 32;
constexpr std::size_t kSectionHeaderBytes = 12;

std::uint64_t GetLe(const StateBytes& bytes, std::size_t at, std::size_t count);
void PutLe(StateBytes& bytes, std::size_t at, std::uint64_t value, std::size_t count);

// Where the section with the id starts (its header); the state must have it.
std::size_t SectionAt(const StateBytes& state, std::uint16_t id);
// The section's decoded bytes.
StateBytes SectionBytes(const StateBytes& state, std::uint16_t id);
// Stores new bytes for the section, as they are; its id and flags stay.
void SetSectionBytes(StateBytes& state, std::uint16_t id, const StateBytes& raw);
// Sets a field of the section: `width` bytes, little-endian, at `offset`.
void SetField(StateBytes& state, std::uint16_t id, std::size_t offset, std::uint64_t value,
              std::size_t width = 1);
// Adds a section after the last one, stored as is, and counts it.
void AddSection(StateBytes& state, std::uint16_t id, std::uint8_t flags, const StateBytes& raw);
// Takes a section out, and out of the count.
void RemoveSection(StateBytes& state, std::uint16_t id);

}  // namespace pellux::test
