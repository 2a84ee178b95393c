/* Names of the calculator's key codes, shared by the demo ROM (which shows
 * them) and the headless runner (which reads them in key scripts).
 *
 * Code n is the key at row n / 8, column n % 8 of the keyboard matrix; 128
 * is ON. Each key is named after the PC key that presses it in the window,
 * so that what the ROM shows is what the user typed. Codes 8, 16 and 71
 * have no PC key and no name. Plain C, so that both compilers read it. */
#ifndef PELLUX_KEY_NAMES_H
#define PELLUX_KEY_NAMES_H

#define KEY_MATRIX_CODES 80
#define KEY_CODE_ON 128

static const char* const kKeyNames[KEY_MATRIX_CODES] = {
    "=",      "CTRL",  "SHIFT", "F12",   "LEFT",   "UP",     "RIGHT", "DOWN",   /* row 0 */
    0,        "Z",     "S",     "W",     "F8",     "1",      "2",     "3",      /* row 1 */
    0,        "X",     "D",     "E",     "F3",     "4",      "5",     "6",      /* row 2 */
    "TAB",    "C",     "F",     "R",     "F7",     "7",      "8",     "9",      /* row 3 */
    "SPACE",  "V",     "G",     "T",     "F2",     "[",      "]",     ",",      /* row 4 */
    "/",      "B",     "H",     "Y",     "F6",     "INSERT", "HOME",  "PGUP",   /* row 5 */
    "\\",     "N",     "J",     "U",     "F1",     "PGDN",   "NUMSEP", "P",     /* row 6 */
    "SLASH",  "M",     "K",     "I",     "F5",     "DEL",    "F9",    "*",      /* row 7 */
    "BKSP",   ";",     "L",     "O",     "+",      "`",      "ESC",   0,        /* row 8 */
    "-",      "ENTER", "A",     "Q",     "F4",     "0",      ".",     "MINUS",  /* row 9 */
};

#endif
