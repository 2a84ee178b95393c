// The start-up self-check of the flash chip: erase a block the ROM does not
// live in, program it, read it back, and make sure the ROM itself is intact.
#pragma once

#include <stdint.h>

enum FlashCheckStep {
  kFlashNotRun,
  kFlashPassed,
  kFlashEraseFailed,    // a word of the erased block is not 0xFFFF
  kFlashProgramFailed,  // a programmed word does not read back
  kFlashClearFailed,    // programming set a bit instead of only clearing
  kFlashRomChanged,     // the ROM's own image changed
};

struct FlashCheck {
  enum FlashCheckStep step;
  uint32_t block;     // address of the block used
  uint32_t words;     // words programmed
  uint32_t address;   // where a failure was found
  uint16_t expected;  // what should have been there
  uint16_t found;     // what was read
};

extern struct FlashCheck gFlashCheck;

void FlashCheckRun(void);
// A one-line summary: "OK" or what failed.
const char* FlashCheckSummary(void);
