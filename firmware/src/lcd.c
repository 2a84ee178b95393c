#include "lcd.h"

#include "font.h"
#include "util.h"

uint8_t gLcd[LCD_BYTES] __attribute__((aligned(8)));

void LcdInit(void) {
  // The display reads its frame from RAM at port 0x10 * 2048 + port 0x11 * 8.
  const uint32_t base = (uint32_t)gLcd;
  PORT(kPortLcdBaseHigh) = (uint8_t)(base >> 11);
  PORT(kPortLcdBaseLow) = (uint8_t)((base >> 3) & 0xFF);
  LcdClear();
}

void LcdClear(void) { memset(gLcd, 0, LCD_BYTES); }

static uint8_t* Row(int y) { return gLcd + (y << 5) - (y << 1); }

// Applies the ink (or an inversion) to the pixels x0..x1-1 of one row:
// a partial byte at each end, whole bytes between.
enum SpanOp { kSpanLight, kSpanDark, kSpanInvert };

static void ApplyMask(uint8_t* p, uint8_t mask, enum SpanOp op) {
  if (op == kSpanDark) {
    *p |= mask;
  } else if (op == kSpanLight) {
    *p &= (uint8_t)~mask;
  } else {
    *p ^= mask;
  }
}

static void Span(uint8_t* row, int x0, int x1, enum SpanOp op) {
  if (x0 >= x1) return;
  uint8_t* p = row + (x0 >> 3);
  uint8_t* const last = row + ((x1 - 1) >> 3);
  const uint8_t head = (uint8_t)(0xFF >> (x0 & 7));
  const uint8_t tail = (uint8_t)(0xFF << (7 - ((x1 - 1) & 7)));
  if (p == last) {
    ApplyMask(p, head & tail, op);
    return;
  }
  ApplyMask(p++, head, op);
  if (op == kSpanInvert) {
    for (; p < last; ++p) *p = (uint8_t)~*p;
  } else {
    const uint8_t fill = op == kSpanDark ? 0xFF : 0x00;
    for (; p < last; ++p) *p = fill;
  }
  ApplyMask(last, tail, op);
}

static void RectOp(int x, int y, int w, int h, enum SpanOp op) {
  int x1 = x + w, y1 = y + h;
  if (x < 0) x = 0;
  if (y < 0) y = 0;
  if (x1 > LCD_WIDTH) x1 = LCD_WIDTH;
  if (y1 > LCD_HEIGHT) y1 = LCD_HEIGHT;
  if (x >= x1 || y >= y1) return;
  if (x == 0 && x1 == LCD_WIDTH && op != kSpanInvert) {
    // Whole rows lie one after another.
    memset(Row(y), op == kSpanDark ? 0xFF : 0x00, (size_t)(Row(y1) - Row(y)));
    return;
  }
  for (; y < y1; ++y) Span(Row(y), x, x1, op);
}

void FillRect(int x, int y, int w, int h, enum Ink ink) {
  RectOp(x, y, w, h, ink == kInkDark ? kSpanDark : kSpanLight);
}

void InvertRect(int x, int y, int w, int h) { RectOp(x, y, w, h, kSpanInvert); }

void HLine(int x, int y, int w) { RectOp(x, y, w, 1, kSpanDark); }

void FrameRect(int x, int y, int w, int h) {
  HLine(x, y, w);
  HLine(x, y + h - 1, w);
  RectOp(x, y, 1, h, kSpanDark);
  RectOp(x + w - 1, y, 1, h, kSpanDark);
}

static const uint8_t* Glyph(char c) {
  unsigned index = (unsigned char)c - kFontFirst;
  if (index >= kFontGlyphs) index = '?' - kFontFirst;
  return gFont[index];
}

// One cell at scale 1: the 6-pixel row pattern goes into a 16-bit window
// over the two bytes it touches.
static void DrawCell(int x, int y, char c, enum Ink ink) {
  if (x < 0 || x > LCD_WIDTH - kCellWidth || y < 0 || y > LCD_HEIGHT - kCellHeight) return;
  const uint8_t* glyph = Glyph(c);
  const int shift = 10 - (x & 7);
  const uint16_t mask = (uint16_t)(0x3F << shift);
  uint8_t* p = Row(y) + (x >> 3);
  const int wide = (x & 7) > 2;  // the cell reaches into the next byte
  for (int r = 0; r < kCellHeight; ++r, p += LCD_STRIDE) {
    uint16_t bits = (uint16_t)((glyph[r] << 1) << shift);
    if (ink == kInkLight) bits = (uint16_t)(~bits & mask);
    p[0] = (uint8_t)((p[0] & ~(mask >> 8)) | (bits >> 8));
    if (wide) p[1] = (uint8_t)((p[1] & ~mask) | bits);
  }
}

// A scaled cell: background first, then one square per dark pixel.
static void DrawCellScaled(int x, int y, char c, int scale, enum Ink ink) {
  const uint8_t* glyph = Glyph(c);
  const enum Ink paper = ink == kInkDark ? kInkLight : kInkDark;
  FillRect(x, y, kCellWidth * scale, kCellHeight * scale, paper);
  for (int r = 0; r < kCellHeight; ++r) {
    for (int col = 0; col < 5; ++col) {
      if (glyph[r] & (0x10 >> col)) FillRect(x + col * scale, y + r * scale, scale, scale, ink);
    }
  }
}

int DrawText(int x, int y, const char* text, int scale, enum Ink ink) {
  for (; *text; ++text) {
    if (scale == 1) {
      DrawCell(x, y, *text, ink);
    } else {
      DrawCellScaled(x, y, *text, scale, ink);
    }
    x += kCellWidth * scale;
  }
  return x;
}

int TextWidth(const char* text, int scale) { return StrLen(text) * kCellWidth * scale; }

void DrawTextCentered(int y, const char* text, int scale, enum Ink ink) {
  DrawText((LCD_WIDTH - TextWidth(text, scale) + 1) / 2, y, text, scale, ink);
}

void DrawTextRight(int right, int y, const char* text, int scale, enum Ink ink) {
  DrawText(right - TextWidth(text, scale), y, text, scale, ink);
}
