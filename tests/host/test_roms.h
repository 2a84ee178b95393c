// ROM images for running the real window: they need MOVE and STOP only.
#pragma once

#include <cstdint>
#include <vector>

namespace pellux::test {

// Both turn the timers on, draw a checkerboard of 8 x 8 squares on the lower
// half of the LCD (the top-left square of that half light) and sleep with
// STOP; every interrupt and exception just goes back to sleep. With
// echoKeys, the level-1, level-2 and ON interrupts first fill the upper half
// of the LCD with the column byte of keyboard row 9 (Enter, A, Q, F4, 0 and
// the like): dark where a key is up, so a key held down shows as a light
// stripe in every 8-pixel column group (A: the sixth pixel, 0: the third).
std::vector<std::uint8_t> SleepingRom(bool echoKeys);

// Where every interrupt without a handler of its own goes back to sleep.
constexpr std::uint32_t kSleepingRomSleep = 0x430000;

// The dark pixels of the LCD the ROM shows once it has run, with the row-9
// column byte `row9` in the upper half (0xFF: no key down).
bool SleepingRomPixel(unsigned x, unsigned y, std::uint8_t row9);

}  // namespace pellux::test
