// The flash chip's command state machine: the only way the ROM image changes.
#pragma once

#include <cstdint>

namespace pellux {

class Calculator;

// A 16-bit bus word written at an image offset (0..0x1FFFFF); the high byte
// belongs to the even offset.
void FlashWrite(Calculator& m, std::uint32_t offset, std::uint32_t value);

}  // namespace pellux
