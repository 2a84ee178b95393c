// Time and interrupts: the 1024 Hz timer, the interrupt counters, the ON key.
#pragma once

#include <stdint.h>

// Time since the timers started, in 1/1024 s.
extern volatile uint32_t gTime1024;
// Interrupts taken, by level.
extern volatile uint32_t gIrqCount[8];
// Flips four times a second, from the programmable timer: the cursor blink.
extern volatile uint8_t gBlink;
// ON key presses seen so far.
extern volatile uint32_t gOnPresses;
// Times the main loop has put the processor to sleep.
extern uint32_t gSleeps;

void TimersInit(void);

// Interrupt handlers, entered from crt0.S.
void OnTimerTick(void);
void OnProgrammableTimer(void);
void OnLink(void);
void OnOnKey(void);
