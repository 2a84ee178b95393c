#include "flash_check.h"

#include "hw.h"
#include "util.h"

// The RAM-resident routines of flash.S.
uint16_t FlashEraseBlock(volatile uint16_t* block);
uint16_t FlashProgram(volatile uint16_t* dest, const uint16_t* src, uint32_t words);

extern const uint8_t __rom_code_end[];  // end of the code and data images, from the linker

struct FlashCheck gFlashCheck;

enum { kPatternWords = 2048 };
static uint16_t pattern[kPatternWords];  // in RAM: the flash is unreadable while it programs

// The last block of the chip, far from the ROM's own code.
#define CHECK_BLOCK (FLASH_BASE + FLASH_SIZE - FLASH_BLOCK)

// A checksum of the ROM's code and data, to show the check left them alone.
static uint32_t RomChecksum(void) {
  uint32_t sum = 0;
  for (const uint32_t* p = (const uint32_t*)FLASH_BASE; p < (const uint32_t*)__rom_code_end; ++p) {
    sum = (sum << 1 | sum >> 31) ^ *p;
  }
  return sum;
}

static int Fail(enum FlashCheckStep step, const volatile uint16_t* at, uint16_t expected) {
  gFlashCheck.step = step;
  gFlashCheck.address = (uint32_t)at;
  gFlashCheck.expected = expected;
  gFlashCheck.found = *at;
  return 0;
}

// Every word from..to (exclusive, both on long boundaries) must be 0xFFFF.
static int ExpectErased(const volatile uint16_t* from, const volatile uint16_t* to, enum FlashCheckStep step) {
  const volatile uint32_t* p = (const volatile uint32_t*)from;
  for (; p < (const volatile uint32_t*)to; ++p) {
    if (*p != 0xFFFFFFFFu) {
      const volatile uint16_t* word = (const volatile uint16_t*)p;
      return Fail(step, word[0] != 0xFFFF ? word : word + 1, 0xFFFF);
    }
  }
  return 1;
}

static int Check(void) {
  volatile uint16_t* const block = (volatile uint16_t*)CHECK_BLOCK;
  volatile uint16_t* const blockEnd = block + FLASH_BLOCK / 2;
  const uint32_t romBefore = RomChecksum();

  FlashEraseBlock(block);
  if (!ExpectErased(block, blockEnd, kFlashEraseFailed)) return 0;

  // A pattern that differs from word to word and in both bytes.
  uint16_t seed = 0xACE1;
  for (int i = 0; i < kPatternWords; ++i) {
    seed = (uint16_t)((seed >> 1) ^ (-(seed & 1) & 0xB400));
    pattern[i] = seed;
  }
  FlashProgram(block, pattern, kPatternWords);
  gFlashCheck.words = kPatternWords;
  for (int i = 0; i < kPatternWords; ++i) {
    if (block[i] != pattern[i]) return Fail(kFlashProgramFailed, &block[i], pattern[i]);
  }
  if (!ExpectErased(block + kPatternWords, blockEnd, kFlashProgramFailed)) return 0;

  // Programming only clears bits: 0xFF00 then 0x0FF0 leave 0x0F00.
  static uint16_t over[2] = {0xFF00, 0x0FF0};  // in RAM, like the pattern
  volatile uint16_t* const spot = blockEnd - 1;
  FlashProgram(spot, &over[0], 1);
  FlashProgram(spot, &over[1], 1);
  if (*spot != 0x0F00) return Fail(kFlashClearFailed, spot, 0x0F00);

  if (RomChecksum() != romBefore) {
    gFlashCheck.step = kFlashRomChanged;
    return 0;
  }
  return 1;
}

void FlashCheckRun(void) {
  memset(&gFlashCheck, 0, sizeof gFlashCheck);
  gFlashCheck.block = CHECK_BLOCK;
  if (Check()) gFlashCheck.step = kFlashPassed;
}

const char* FlashCheckSummary(void) {
  switch (gFlashCheck.step) {
    case kFlashNotRun: return "running...";
    case kFlashPassed: return "OK";
    case kFlashEraseFailed: return "FAILED: erase";
    case kFlashProgramFailed: return "FAILED: program";
    case kFlashClearFailed: return "FAILED: bits set";
    case kFlashRomChanged: return "FAILED: ROM changed";
  }
  return "?";
}
