#include "host/host_keys.h"

namespace pellux {

namespace {

constexpr std::uint8_t kNoCode = 0xFF;

// The table by PC key, for the lookup at every key event.
constexpr std::array<std::uint8_t, kPcKeyCount> MakeCodesByKey() {
  std::array<std::uint8_t, kPcKeyCount> codes{};
  codes.fill(kNoCode);
  for (const HostKey& key : kHostKeyTable) codes[static_cast<unsigned>(key.key)] = key.code;
  return codes;
}

constexpr std::array<std::uint8_t, kPcKeyCount> kCodesByKey = MakeCodesByKey();

constexpr bool EachKeyOnce() {
  std::size_t keys = 0;
  for (const std::uint8_t code : kCodesByKey) keys += code != kNoCode;
  return keys == kHostKeyTable.size() && kCodesByKey[static_cast<unsigned>(PcKey::None)] == kNoCode;
}
static_assert(EachKeyOnce(), "a PC key presses one calculator key");

}  // namespace

std::optional<unsigned> LookupHostKey(PcKey key) {
  const unsigned index = static_cast<unsigned>(key);
  if (index >= kCodesByKey.size() || kCodesByKey[index] == kNoCode) return std::nullopt;
  return kCodesByKey[index];
}

}  // namespace pellux
