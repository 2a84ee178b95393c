#include "screens.h"

#include "calc.h"
#include "flash_check.h"
#include "font.h"
#include "key_names.h"
#include "keyboard.h"
#include "lcd.h"
#include "system.h"
#include "util.h"

enum Screen gScreen;

enum {
  kBarHeight = 10,       // the tab bar
  kContentTop = 12,
  kHintTop = 120,        // the hint line, below a rule at 118
  kRight = LCD_WIDTH - 4,
};

static const char* const kTabNames[kScreenCount] = {"Home", "Calc", "Keys", "Machine"};
static const char* const kHints[kScreenCount] = {
    "ON (End key): next screen",
    "ENTER: =   BKSP: delete   ESC: clear",
    "Press any key.   ON: next screen",
    "ON (End key): next screen",
};

static void ClearContent(void) { FillRect(0, kBarHeight, LCD_WIDTH, 118 - kBarHeight, kInkLight); }

static void DrawClock(uint32_t seconds) {
  char text[12], part[4];
  FormatPadded(text, seconds / 3600 % 100, 2);
  StrAppend(text, ":", sizeof text);
  StrAppend(text, FormatPadded(part, seconds / 60 % 60, 2), sizeof text);
  StrAppend(text, ":", sizeof text);
  StrAppend(text, FormatPadded(part, seconds % 60, 2), sizeof text);
  DrawTextRight(LCD_WIDTH - 2, 1, text, 1, kInkLight);
}

static void DrawFrame(void) {
  FillRect(0, 0, LCD_WIDTH, kBarHeight, kInkDark);
  int x = 2;
  for (int i = 0; i < kScreenCount; ++i) {
    const int width = TextWidth(kTabNames[i], 1) + 6;
    if (i == (int)gScreen) {
      FillRect(x, 1, width, kBarHeight - 1, kInkLight);
      DrawText(x + 3, 1, kTabNames[i], 1, kInkDark);
    } else {
      DrawText(x + 3, 1, kTabNames[i], 1, kInkLight);
    }
    x += width + 2;
  }
  DrawClock(gTime1024 >> 10);
  FillRect(0, 118, LCD_WIDTH, LCD_HEIGHT - 118, kInkLight);
  HLine(0, 118, LCD_WIDTH);
  DrawText(4, kHintTop, kHints[gScreen], 1, kInkDark);
}

// --- Home -----------------------------------------------------------------

static void DrawHome(void) {
  // The name, large, with a double rule beneath.
  DrawTextCentered(15, "PELLUX", 4, kInkDark);
  HLine(44, 47, 152);
  HLine(44, 49, 152);
  DrawTextCentered(54, "TI-92 Plus demo ROM", 1, kInkDark);
  DrawTextCentered(64, "free software in C and 68000 assembly", 1, kInkDark);

  FrameRect(8, 76, LCD_WIDTH - 16, 27);
  DrawText(14, 80, "Flash self-check", 1, kInkDark);
  const char* summary = FlashCheckSummary();
  const int passed = gFlashCheck.step == kFlashPassed;
  const int width = TextWidth(summary, 1);
  if (passed) FillRect(kRight - 10 - width - 3, 79, width + 5, 10, kInkDark);
  DrawTextRight(kRight - 10, 80, summary, 1, passed ? kInkLight : kInkDark);

  char line[41], number[12];
  if (gFlashCheck.step == kFlashNotRun) {
    StrCopy(line, "erasing, programming, reading back", sizeof line);
  } else if (passed) {
    StrCopy(line, "erased ", sizeof line);
    StrAppend(line, FormatHex(number, gFlashCheck.block, 6), sizeof line);
    StrAppend(line, ", wrote ", sizeof line);
    StrAppend(line, FormatInt(number, (int32_t)gFlashCheck.words), sizeof line);
    StrAppend(line, " words", sizeof line);
  } else if (gFlashCheck.step == kFlashRomChanged) {
    StrCopy(line, "the ROM's own code or data changed", sizeof line);
  } else {
    StrCopy(line, "at ", sizeof line);
    StrAppend(line, FormatHex(number, gFlashCheck.address, 6), sizeof line);
    StrAppend(line, ": read ", sizeof line);
    StrAppend(line, FormatHex(number, gFlashCheck.found, 4), sizeof line);
    StrAppend(line, ", not ", sizeof line);
    StrAppend(line, FormatHex(number, gFlashCheck.expected, 4), sizeof line);
  }
  DrawText(14, 91, line, 1, kInkDark);
}

// --- Calculator -----------------------------------------------------------

enum { kEntryY = 92 };

void DrawCalcEntry(int cursorOn) {
  FillRect(0, kEntryY, LCD_WIDTH, 8, kInkLight);
  const int x = DrawText(DrawText(4, kEntryY, ">", 1, kInkDark) + 4, kEntryY, gCalc.entry, 1, kInkDark);
  if (cursorOn) FillRect(x, kEntryY, 5, 8, kInkDark);
}

void DrawCalc(int cursorOn) {
  if (gScreen != kScreenCalc) return;
  ClearContent();
  for (int i = 0; i < gCalc.lines; ++i) {
    const int y = 14 + i * 11;
    DrawText(4, y, gCalc.history[i].expression, 1, kInkDark);
    DrawTextRight(kRight, y, gCalc.history[i].result, 1, kInkDark);
  }
  if (gCalc.lines == 0) {
    DrawText(4, 14, "Type a sum, e.g. 12*34, then ENTER.", 1, kInkDark);
    DrawText(4, 25, "Whole numbers, + - * / and ( ).", 1, kInkDark);
  } else {
    // The newest result again, large.
    const char* result = gCalc.history[gCalc.lines - 1].result;
    DrawTextRight(kRight, 60, result, StrLen(result) <= 18 ? 2 : 1, kInkDark);
  }
  HLine(4, 86, LCD_WIDTH - 8);
  DrawCalcEntry(cursorOn);
  DrawText(4, 104, "PC: + is Shift =, * is Shift 8 or X", 1, kInkDark);
}

// --- Keys -----------------------------------------------------------------

static int lastKey = -1;
static uint32_t keysPressed;
static uint8_t recent[8];
static int recentCount;

void NoteKey(int event) {
  lastKey = event & kKeyCodeMask;
  ++keysPressed;
  if (recentCount == (int)sizeof recent) {
    for (int i = 1; i < recentCount; ++i) recent[i - 1] = recent[i];
    --recentCount;
  }
  recent[recentCount++] = (uint8_t)lastKey;
}

static const char* KeyName(int code, char* scratch /* 16 characters */) {
  if (code >= 0 && code < KEY_MATRIX_CODES && kKeyNames[code]) return kKeyNames[code];
  char number[12];
  StrCopy(scratch, "KEY ", 16);
  StrAppend(scratch, FormatInt(number, code), 16);
  return scratch;
}

void DrawKeys(void) {
  if (gScreen != kScreenKeys) return;
  ClearContent();
  // The matrix: ten rows of eight columns, held keys filled.
  enum { kGridX = 6, kGridY = 14, kCellW = 10, kCellH = 9 };
  for (int row = 0; row < 10; ++row) {
    const uint8_t down = gKeysDown[row];
    for (int col = 0; col < 8; ++col) {
      const int x = kGridX + col * kCellW, y = kGridY + row * kCellH;
      FrameRect(x, y, kCellW + 1, kCellH + 1);
      if (row * 8 + col == lastKey) FrameRect(x + 1, y + 1, kCellW - 1, kCellH - 1);
      if (down & (1u << col)) FillRect(x + 2, y + 2, kCellW - 3, kCellH - 3, kInkDark);
    }
  }
  DrawText(kGridX, kGridY + 10 * kCellH + 3, "rows 0-9", 1, kInkDark);

  enum { kPanelX = 100 };
  char scratch[24], number[12];
  if (lastKey < 0) {
    DrawText(kPanelX, 14, "Press a key on the", 1, kInkDark);
    DrawText(kPanelX, 24, "PC keyboard: it is", 1, kInkDark);
    DrawText(kPanelX, 34, "read from the matrix", 1, kInkDark);
    DrawText(kPanelX, 44, "by the keyboard", 1, kInkDark);
    DrawText(kPanelX, 54, "interrupt.", 1, kInkDark);
    return;
  }
  DrawText(kPanelX, 14, "Last key", 1, kInkDark);
  DrawText(kPanelX, 25, KeyName(lastKey, scratch), 2, kInkDark);
  char line[24];
  StrCopy(line, "code ", sizeof line);
  StrAppend(line, FormatInt(number, lastKey), sizeof line);
  StrAppend(line, ": row ", sizeof line);
  StrAppend(line, FormatInt(number, lastKey >> 3), sizeof line);
  StrAppend(line, " col ", sizeof line);
  StrAppend(line, FormatInt(number, lastKey & 7), sizeof line);
  DrawText(kPanelX, 46, line, 1, kInkDark);
  StrCopy(line, "keys pressed: ", sizeof line);
  StrAppend(line, FormatInt(number, (int32_t)keysPressed), sizeof line);
  DrawText(kPanelX, 58, line, 1, kInkDark);

  DrawText(kPanelX, 76, "Recent", 1, kInkDark);
  int x = kPanelX, y = 87;
  for (int i = recentCount - 1; i >= 0; --i) {
    const char* name = KeyName(recent[i], scratch);
    if (x + TextWidth(name, 1) > kRight) {
      if (y > 87) break;
      x = kPanelX;
      y += 10;
    }
    x = DrawText(x, y, name, 1, kInkDark) + 6;
  }
}

// --- Machine --------------------------------------------------------------

static void DrawMachineLine(int y, const char* label, const char* value) {
  FillRect(0, y, LCD_WIDTH, 8, kInkLight);
  DrawText(4, y, label, 1, kInkDark);
  DrawTextRight(kRight, y, value, 1, kInkDark);
}

static void DrawMachine(void) {
  char value[16];
  DrawMachineLine(14, "Level 1: timer, 256/s", FormatInt(value, (int32_t)gIrqCount[1]));
  DrawMachineLine(24, "Level 2: keyboard", FormatInt(value, (int32_t)gIrqCount[2]));
  DrawMachineLine(34, "Level 5: timer, 4/s", FormatInt(value, (int32_t)gIrqCount[5]));
  DrawMachineLine(44, "Level 6: ON key", FormatInt(value, (int32_t)gIrqCount[6]));
  DrawMachineLine(58, "Sleeps (STOP)", FormatInt(value, (int32_t)gSleeps));
  DrawMachineLine(68, "Time in 1/1024 s", FormatInt(value, (int32_t)gTime1024));
  DrawMachineLine(78, "LCD frame in RAM", FormatHex(value, (uint32_t)gLcd, 6));
  DrawMachineLine(92, "Flash block", FormatHex(value, gFlashCheck.block, 6));
  DrawMachineLine(102, "Flash self-check", FlashCheckSummary());
}

// --------------------------------------------------------------------------

void DrawScreen(void) {
  ClearContent();
  DrawFrame();
  switch (gScreen) {
    case kScreenHome: DrawHome(); break;
    case kScreenCalc: DrawCalc(gBlink); break;
    case kScreenKeys: DrawKeys(); break;
    case kScreenMachine: DrawMachine(); break;
    default: break;
  }
}

void DrawSecond(uint32_t seconds) {
  DrawClock(seconds);
  if (gScreen == kScreenMachine) DrawMachine();
}

static const char* VectorName(unsigned vector) {
  switch (vector) {
    case 2: return "bus error";
    case 3: return "address error";
    case 4: return "illegal instruction";
    case 5: return "division by zero";
    case 6: return "CHK";
    case 7: return "TRAPV";
    case 8: return "privilege violation";
    case 9: return "trace";
    case 10: return "line 1010";
    case 11: return "line 1111";
    case 31: return "protected RAM write";
    default: return vector >= 32 && vector < 48 ? "TRAP" : "unexpected interrupt";
  }
}

void ShowFault(const struct FaultFrame* frame) {
  const unsigned vector = frame->vector;
  const uint16_t sr = frame->sr;
  const uint32_t pc = frame->pc;
  LcdClear();
  FillRect(0, 0, LCD_WIDTH, 28, kInkDark);
  DrawTextCentered(6, "FAULT", 2, kInkLight);
  char line[41], number[12];
  StrCopy(line, "vector ", sizeof line);
  StrAppend(line, FormatInt(number, (int32_t)vector), sizeof line);
  StrAppend(line, ": ", sizeof line);
  StrAppend(line, VectorName(vector), sizeof line);
  DrawText(8, 40, line, 1, kInkDark);
  StrCopy(line, "PC ", sizeof line);
  StrAppend(line, FormatHex(number, pc, 6), sizeof line);
  StrAppend(line, "   SR ", sizeof line);
  StrAppend(line, FormatHex(number, sr, 4), sizeof line);
  DrawText(8, 52, line, 1, kInkDark);
  DrawText(8, 72, "The demo ROM has stopped.", 1, kInkDark);
  Halt();
}
