#include "system.h"

#include "hw.h"
#include "keyboard.h"

volatile uint32_t gTime1024;
volatile uint32_t gIrqCount[8];
volatile uint8_t gBlink;
volatile uint32_t gOnPresses;
uint32_t gSleeps;

static uint8_t lastCount;

void TimersInit(void) {
  // Reload 0 makes the programmable timer a free-running 8-bit count of
  // 1024 Hz ticks that overflows, raising level 5, four times a second.
  PORT(kPortTimerCount) = 0;
  lastCount = 0;
  // Bit 0: the 1024 Hz ticks (level 1 on every fourth); bit 3: the count.
  PORT(kPortTimerControl) = 0x09;
}

// Level 1, 256 times a second. The clock advances by the ticks the count has
// moved since the last call rather than by one per interrupt: the machine
// also raises level 1 after every key release, and those must not count.
void OnTimerTick(void) {
  ++gIrqCount[1];
  const uint8_t now = PORT(kPortTimerCount);
  gTime1024 += (uint8_t)(now - lastCount);
  lastCount = now;
  // Key releases raise no keyboard interrupt: look for them here.
  if (KeyboardAnyDown()) KeyboardScan();
}

void OnProgrammableTimer(void) {
  ++gIrqCount[5];
  gBlink ^= 1;
}

// Level 4, the link port: this ROM speaks no link protocol, so a byte that
// arrives is taken and dropped (reading the status first clears an error).
// Whoever sent it gets no answer and gives up on its own.
void OnLink(void) {
  ++gIrqCount[4];
  (void)PORT(kPortLinkStatus);
  (void)PORT(kPortLinkData);
}

void OnOnKey(void) {
  ++gIrqCount[6];
  ++gOnPresses;
}
