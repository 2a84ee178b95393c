// The TI-92 Plus as this ROM sees it: ports of the support chip, the flash
// window, and the few processor instructions C cannot express.
#pragma once

#include <stdint.h>

#define PORT(n) (*(volatile uint8_t*)(0x600000u + (n)))

enum {
  kPortLowPower = 0x05,     // a write sleeps until a source in the written mask fires
  kPortLinkStatus = 0x0D,   // link port status; a read clears its error bit
  kPortLinkData = 0x0F,     // a read takes the byte the link port received
  kPortLcdBaseHigh = 0x10,  // frame address = high * 2048 + low * 8
  kPortLcdBaseLow = 0x11,
  kPortTimerControl = 0x15,  // bit 0: 1024 Hz ticks run, bit 3: programmable timer counts
  kPortTimerCount = 0x17,    // programmable timer; a write also sets its reload value
  kPortKeyRowsHigh = 0x18,   // bits 0-1 select rows 8 and 9 (0 = selected)
  kPortKeyRows = 0x19,       // bits 0-7 select rows 0-7 (0 = selected)
  kPortOnKey = 0x1A,         // bit 1 clear while ON is held
  kPortKeyColumns = 0x1B,    // columns of the selected rows, 0 = key down
};

// The flash chip, seen at 0x400000 - 0x5FFFFF in 32 blocks of 64 KB.
#define FLASH_BASE 0x400000u
#define FLASH_SIZE 0x200000u
#define FLASH_BLOCK 0x10000u

#define LCD_WIDTH 240
#define LCD_HEIGHT 128
#define LCD_STRIDE 30
#define LCD_BYTES (LCD_STRIDE * LCD_HEIGHT)

// Interrupt mask: 7 holds every level off, 0 lets all in.
static inline void IrqDisable(void) { __asm__ volatile("ori.w #0x0700,%%sr" ::: "memory"); }
static inline void IrqEnable(void) { __asm__ volatile("andi.w #0xF8FF,%%sr" ::: "memory"); }

// Unmasks interrupts and sleeps until one is taken, in one instruction, so
// that an interrupt arriving after the caller's last check cannot be missed.
// Call it with interrupts masked; it returns with them enabled.
static inline void SleepUntilInterrupt(void) { __asm__ volatile("stop #0x2000" ::: "memory"); }

// Start-up and fault entry points (crt0.S).
void Halt(void) __attribute__((noreturn));
