#include "link/os_image.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

#include "io/files.h"
#include "link/flash_file.h"
#include "machine/errors.h"

namespace pellux {

namespace {
constexpr std::string_view kFlashSignature = "**TIFL**";
constexpr std::array<std::uint8_t, 2> kBareOs = {0x80, 0x0F};
}  // namespace

bool IsOsFile(std::span<const std::uint8_t> bytes) {
  const auto begins = [&](auto&& prefix) {
    return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
  };
  return begins(kFlashSignature) || begins(kBareOs);
}

RomRead ImageFromRomOrOsFile(const std::filesystem::path& path, RomFile rom) {
  if (!IsOsFile(rom.bytes)) return rom;
  FlashImage image = FlashImageFromOsFile(rom.bytes);
  if (!image.ok()) return Fail(StartError::RomReadFailed, DescribeFileError(path, image.message()));
  return RomFile{std::move(image).value(), {}};
}

}  // namespace pellux
