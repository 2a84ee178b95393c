// The ROM's own font: 5 x 7 glyphs for ASCII 32 to 126 in 6 x 8 cells.
#pragma once

enum { kFontFirst = 32, kFontGlyphs = 95, kCellWidth = 6, kCellHeight = 8 };

// One byte per pixel row, bit 4 leftmost; row 7 holds descenders. Filled
// from the drawings in font.c by FontInit.
extern unsigned char gFont[kFontGlyphs][8];

void FontInit(void);
