// Building the machine: ROM image, vector table, ports, processor.
#include "machine/calculator.h"

#include <algorithm>
#include <cstring>

#include "cpu/core.h"
#include "machine/memory_bus.h"
#include "machine/ports.h"
#include "machine/rom_file.h"

namespace pellux {

namespace {

constexpr std::uint32_t kVectorTableBytes = 256;

}  // namespace

Calculator::Calculator(std::span<const std::uint8_t> romImage) {
  // Without the memory, std::bad_alloc goes to the program's edge, which
  // says "Not enough free memory."
  ram.assign(kRamSize, 0);
  rom.assign(kRomSize, 0);
  std::copy_n(romImage.begin(), std::min<std::size_t>(romImage.size(), kRomSize), rom.begin());
  std::memcpy(ram.data(), rom.data() + FindVectorTable(rom.data(), rom.size()), kVectorTableBytes);

  ports = kPortStartValues;
  keyMatrix.fill(0xFF);
  Reset(*this);
}

void Calculator::StartPacing(HostClock& clock) {
  counterFrequency = clock.CounterFrequency();
  hasCounter = counterFrequency > 0;
  lastCount = hasCounter ? static_cast<std::uint64_t>(clock.Counter()) : clock.Milliseconds();
  lastCountFraction = 0;
}

}  // namespace pellux
