// Building the machine: ROM image, vector table, ports, clock, processor.
#include "machine/calculator.h"

#include <cstdio>
#include <cstring>
#include <system_error>

#include "cpu/core.h"
#include "machine/errors.h"
#include "machine/memory_bus.h"
#include "machine/ports.h"

namespace pellux {

namespace {

// The vector table follows the first 0xCC 0xCC 0xCC 0xCC marker found at a
// multiple of 4 from 0x12000 up to (not including) 0x100000; without one it
// is the start of the image.
constexpr std::uint32_t kMarkerSearchStart = 0x12000;
constexpr std::uint32_t kMarkerSearchEnd = 0x100000;
constexpr std::uint32_t kVectorTableBytes = 256;

std::uint32_t FindVectorTable(const std::uint8_t* rom) {
  for (std::uint32_t offset = kMarkerSearchStart; offset < kMarkerSearchEnd; offset += 4) {
    if (rom[offset] == 0xCC && rom[offset + 1] == 0xCC && rom[offset + 2] == 0xCC &&
        rom[offset + 3] == 0xCC) {
      return offset + 4;
    }
  }
  return 0;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Reads up to kRomSize bytes of the image; a shorter file leaves the rest zero.
void LoadRomImage(const std::filesystem::path& path, std::uint8_t* rom) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) throw InitErr(kStrRomOpenFailed);
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.string().c_str(), "rb"));
  if (!file) throw InitErr(kStrRomOpenFailed);
  std::size_t total = 0;
  while (total < kRomSize) {
    const std::size_t got = std::fread(rom + total, 1, kRomSize - total, file.get());
    total += got;
    if (got == 0) break;
  }
  if (std::ferror(file.get())) throw InitErr(kStrRomReadFailed);
}

}  // namespace

Calculator::Calculator(const std::filesystem::path& romPath, Host& host, HostClock& hostClock)
    : window(&host), clock(&hostClock) {
  ram = host.AllocateImage(kRamSize);
  if (!ram) throw InitErr(kStrOutOfMemory);
  rom = host.AllocateImage(kRomSize);
  if (!rom) throw InitErr(kStrOutOfMemory);

  LoadRomImage(romPath, rom.get());
  std::memcpy(ram.get(), rom.get() + FindVectorTable(rom.get()), kVectorTableBytes);

  ports = kPortStartValues;

  perfFrequency = clock->PerfFrequency();
  hasPerfCounter = perfFrequency > 0;
  lastCount = hasPerfCounter ? static_cast<std::uint64_t>(clock->PerfCounter()) : clock->TickCountMs();

  keyMatrix.fill(0xFF);

  listingFont = host.CreateListingFont();  // a missing font is not an error
  displayBitmap = host.CreateDisplayBitmap(kLcdWidth, kLcdHeight);
  if (!displayBitmap) throw InitErr(kStrOutOfResources);
  zoom = 1;

  Reset(*this);
}

Calculator::~Calculator() = default;

}  // namespace pellux
