// The demo ROM: a title screen with the flash self-check, a calculator, a
// view of the keyboard matrix and one of the machine's counters, switched by
// the ON key. Between events the processor sleeps.
#include "calc.h"
#include "flash_check.h"
#include "font.h"
#include "hw.h"
#include "keyboard.h"
#include "lcd.h"
#include "screens.h"
#include "system.h"

static uint32_t shownSecond;
static uint32_t handledOnPresses;
static uint8_t shownBlink;
static uint8_t shownKeys[10];  // the matrix as the keys screen last drew it

static int KeysChanged(void) {
  for (int row = 0; row < 10; ++row) {
    if (gKeysDown[row] != shownKeys[row]) return 1;
  }
  return 0;
}

// Anything for the main loop to do? Called with interrupts masked.
static int WorkPending(void) {
  return KeyboardHasEvent() || gOnPresses != handledOnPresses || (gTime1024 >> 10) != shownSecond ||
         (gScreen == kScreenCalc && gBlink != shownBlink) || (gScreen == kScreenKeys && KeysChanged());
}

// Returns nonzero when the keys screen must show the event.
static int HandleKey(int event) {
  if (event & kKeyReleased) return 0;
  NoteKey(event);
  if (gScreen == kScreenCalc) {
    const char c = CalcKeyChar(event);
    const enum CalcChange change = c ? CalcInput(c) : kCalcUnchanged;
    if (change == kCalcAllChanged) DrawCalc(shownBlink);
    if (change == kCalcEntryChanged) DrawCalcEntry(shownBlink);
  }
  return 1;
}

static void DoWork(void) {
  if (gOnPresses != handledOnPresses) {
    handledOnPresses = gOnPresses;
    gScreen = (enum Screen)((gScreen + 1) % kScreenCount);
    DrawScreen();
  }
  int pressed = 0;
  for (int event; (event = KeyboardNextEvent()) >= 0;) pressed |= HandleKey(event);
  if (gScreen == kScreenKeys && (pressed || KeysChanged())) {
    for (int row = 0; row < 10; ++row) shownKeys[row] = gKeysDown[row];
    DrawKeys();
  }
  const uint32_t second = gTime1024 >> 10;
  if (second != shownSecond) {
    shownSecond = second;
    DrawSecond(second);
  }
  if (gScreen == kScreenCalc && gBlink != shownBlink) {
    shownBlink = gBlink;
    DrawCalcEntry(shownBlink);
  }
}

int main(void) {
  TimersInit();
  FontInit();
  LcdInit();
  IrqEnable();

  DrawScreen();  // the title, with the self-check still running
  FlashCheckRun();
  DrawScreen();

  for (;;) {
    IrqDisable();
    if (!WorkPending()) {
      ++gSleeps;
      SleepUntilInterrupt();  // returns with interrupts enabled
      continue;
    }
    IrqEnable();
    DoWork();
  }
}
