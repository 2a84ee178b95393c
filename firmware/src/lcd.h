// Drawing into the LCD frame: 240 x 128 pixels, one bit each, 30 bytes per
// row, the most significant bit leftmost, 1 = dark.
#pragma once

#include <stdint.h>

#include "hw.h"

enum Ink { kInkDark = 1, kInkLight = 0 };

// The frame the display shows; LcdInit points the display at it.
extern uint8_t gLcd[LCD_BYTES];

void LcdInit(void);
void LcdClear(void);

// Rectangles are clipped to the screen.
void FillRect(int x, int y, int w, int h, enum Ink ink);
void InvertRect(int x, int y, int w, int h);
void FrameRect(int x, int y, int w, int h);  // a one-pixel outline
void HLine(int x, int y, int w);

// Text in the ROM's font. Cells are opaque: each character paints its whole
// 6 x 8 cell (times scale) in the background colour first. Returns the x
// after the last cell.
int DrawText(int x, int y, const char* text, int scale, enum Ink ink);
int TextWidth(const char* text, int scale);
void DrawTextCentered(int y, const char* text, int scale, enum Ink ink);
void DrawTextRight(int right, int y, const char* text, int scale, enum Ink ink);
