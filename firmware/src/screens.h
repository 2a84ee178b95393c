// The ROM's screens, switched by the ON key, and the frame around them: a
// tab bar with the clock on top, a line of hints at the bottom.
#pragma once

#include <stdint.h>

enum Screen { kScreenHome, kScreenCalc, kScreenKeys, kScreenMachine, kScreenCount };

extern enum Screen gScreen;

// Redraws everything for the current screen.
void DrawScreen(void);
// The clock in the tab bar, and whatever the current screen shows per second.
void DrawSecond(uint32_t seconds);
// The calculator's entry line and its cursor.
void DrawCalcEntry(int cursorOn);
// The calculator's history and answer, and the entry line.
void DrawCalc(int cursorOn);
// The keys screen's matrix and last-key panel.
void DrawKeys(void);
// Remembers a key press (not a release) for the keys screen.
void NoteKey(int event);

// Shows the exception that stopped the ROM and halts; entered from crt0.S
// with the vector number pushed above the processor's exception frame.
struct FaultFrame {
  uint16_t vector;
  uint16_t sr;
  uint32_t pc;
};
void ShowFault(const struct FaultFrame* frame) __attribute__((noreturn));
