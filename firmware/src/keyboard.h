// The keyboard matrix, scanned row by row through ports 0x18, 0x19 and 0x1B.
#pragma once

#include <stdint.h>

// An event: the key code (0-79) and flags.
enum {
  kKeyCodeMask = 0xFF,
  kKeyReleased = 0x100,  // the key went up (otherwise down)
  kKeyShifted = 0x200,   // SHIFT was held when the key went down
  kKeyShift = 2,         // the SHIFT key's code
};

// Keys held at the last scan: bit c of byte r is key r * 8 + c.
extern volatile uint8_t gKeysDown[10];

// Reads the whole matrix and queues an event for every key that changed.
void KeyboardScan(void);
int KeyboardAnyDown(void);
// The oldest queued event, or -1. Masks interrupts briefly; call it with
// them enabled.
int KeyboardNextEvent(void);
int KeyboardHasEvent(void);

// Level 2: a key went down, or keys are held.
void OnKeyboard(void);
