#include "host/keypad_layout.h"

namespace pellux {

namespace {
using S = KeyStyle;
}  // namespace

// The function keys at the left, the QWERTY block with 2nd, diamond, shift,
// hand and ON around it, the cursor pad and the number pad at the right.
const std::array<KeypadKey, 78> kKeypadKeys = {{
    // Function keys, two columns, and ESC and APPS under them.
    {52, 0.1f, 0, 1, 1, "F1", nullptr, S::Function},
    {36, 0.1f, 1, 1, 1, "F2", nullptr, S::Function},
    {20, 0.1f, 2, 1, 1, "F3", nullptr, S::Function},
    {76, 0.1f, 3, 1, 1, "F4", nullptr, S::Function},
    {60, 1.2f, 0, 1, 1, "F5", nullptr, S::Function},
    {44, 1.2f, 1, 1, 1, "F6", nullptr, S::Function},
    {28, 1.2f, 2, 1, 1, "F7", nullptr, S::Function},
    {12, 1.2f, 3, 1, 1, "F8", nullptr, S::Function},
    {70, 0.1f, 4, 1, 1, "ESC", "QUIT", S::Operator},
    {62, 1.2f, 4, 1, 1, "APPS", "SWITCH", S::Operator},
    // The row above the letters.
    {69, 2.5f, 0, 1.75f, 1, "MODE", nullptr, S::Operator},
    {61, 4.357f, 0, 1.75f, 1, "CLEAR", nullptr, S::Operator},
    {53, 6.214f, 0, 1.75f, 1, "LN", "e\xCB\xA3", S::Operator},
    {45, 8.071f, 0, 1.75f, 1, "SIN", "SIN\xE2\x81\xBB\xC2\xB9", S::Operator},
    {46, 9.929f, 0, 1.75f, 1, "COS", "COS\xE2\x81\xBB\xC2\xB9", S::Operator},
    {47, 11.786f, 0, 1.75f, 1, "TAN", "TAN\xE2\x81\xBB\xC2\xB9", S::Operator},
    {48, 13.643f, 0, 1.75f, 1, "^", "\xCF\x80", S::Operator},
    // QWERTY.
    {0, 2.5f, 1, 2, 1, "2nd", nullptr, S::Modifier},
    {75, 4.5f, 1, 1, 1, "Q", nullptr, S::Letter},
    {11, 5.5f, 1, 1, 1, "W", nullptr, S::Letter},
    {19, 6.5f, 1, 1, 1, "E", nullptr, S::Letter},
    {27, 7.5f, 1, 1, 1, "R", nullptr, S::Letter},
    {35, 8.5f, 1, 1, 1, "T", nullptr, S::Letter},
    {43, 9.5f, 1, 1, 1, "Y", nullptr, S::Letter},
    {51, 10.5f, 1, 1, 1, "U", nullptr, S::Letter},
    {59, 11.5f, 1, 1, 1, "I", nullptr, S::Letter},
    {67, 12.5f, 1, 1, 1, "O", nullptr, S::Letter},
    {55, 13.5f, 1, 1, 1, "P", nullptr, S::Letter},
    {65, 14.5f, 1, 1, 1, "\xCE\xB8", nullptr, S::Letter},
    {1, 2.5f, 2, 2.25f, 1, "\xE2\x97\x86", nullptr, S::Modifier},
    {74, 4.75f, 2, 1, 1, "A", nullptr, S::Letter},
    {10, 5.75f, 2, 1, 1, "S", nullptr, S::Letter},
    {18, 6.75f, 2, 1, 1, "D", nullptr, S::Letter},
    {26, 7.75f, 2, 1, 1, "F", nullptr, S::Letter},
    {34, 8.75f, 2, 1, 1, "G", nullptr, S::Letter},
    {42, 9.75f, 2, 1, 1, "H", nullptr, S::Letter},
    {50, 10.75f, 2, 1, 1, "J", nullptr, S::Letter},
    {58, 11.75f, 2, 1, 1, "K", nullptr, S::Letter},
    {66, 12.75f, 2, 1, 1, "L", nullptr, S::Letter},
    {73, 13.75f, 2, 1.75f, 1, "ENTER", "ENTRY", S::Operator},
    {2, 2.5f, 3, 2.5f, 1, "\xE2\x87\xA7", nullptr, S::Modifier},
    {9, 5.0f, 3, 1, 1, "Z", nullptr, S::Letter},
    {17, 6.0f, 3, 1, 1, "X", nullptr, S::Letter},
    {25, 7.0f, 3, 1, 1, "C", nullptr, S::Letter},
    {33, 8.0f, 3, 1, 1, "V", nullptr, S::Letter},
    {41, 9.0f, 3, 1, 1, "B", nullptr, S::Letter},
    {49, 10.0f, 3, 1, 1, "N", nullptr, S::Letter},
    {57, 11.0f, 3, 1, 1, "M", nullptr, S::Letter},
    {24, 12.0f, 3, 1.5f, 1, "STO\xE2\x96\xB8", "RCL", S::Operator},
    {64, 13.5f, 3, 2, 1, "\xE2\x86\x90", "INS", S::Operator},
    {128, 2.5f, 4, 1.5f, 1, "ON", "OFF", S::On},
    {3, 4.0f, 4, 1.5f, 1, "HAND", nullptr, S::Modifier},
    {32, 5.5f, 4, 8, 1, "SPACE", nullptr, S::Letter},
    {56, 13.5f, 4, 2, 1, "=", nullptr, S::Operator},
    // The cursor pad.
    {5, 17.2f, 0.35f, 1.2f, 1.3f, "\xE2\x96\xB2", nullptr, S::Arrow},
    {4, 16.0f, 1.85f, 1.2f, 1.3f, "\xE2\x97\x80", nullptr, S::Arrow},
    {6, 18.4f, 1.85f, 1.2f, 1.3f, "\xE2\x96\xB6", nullptr, S::Arrow},
    {7, 17.2f, 3.35f, 1.2f, 1.3f, "\xE2\x96\xBC", nullptr, S::Arrow},
    // The number pad and the operators.
    {37, 20, 0, 1, 1, "(", "{", S::Operator},
    {38, 21, 0, 1, 1, ")", "}", S::Operator},
    {39, 22, 0, 1, 1, ",", "[", S::Operator},
    {40, 23, 0, 1, 1, "\xC3\xB7", "]", S::Operator},
    {29, 20, 1, 1, 1, "7", nullptr, S::Number},
    {30, 21, 1, 1, 1, "8", nullptr, S::Number},
    {31, 22, 1, 1, 1, "9", nullptr, S::Number},
    {63, 23, 1, 1, 1, "\xC3\x97", "\xE2\x88\x9A", S::Operator},
    {21, 20, 2, 1, 1, "4", nullptr, S::Number},
    {22, 21, 2, 1, 1, "5", nullptr, S::Number},
    {23, 22, 2, 1, 1, "6", nullptr, S::Number},
    {72, 23, 2, 1, 1, "\xE2\x88\x92", "VAR-LINK", S::Operator},
    {13, 20, 3, 1, 1, "1", nullptr, S::Number},
    {14, 21, 3, 1, 1, "2", nullptr, S::Number},
    {15, 22, 3, 1, 1, "3", nullptr, S::Number},
    {68, 23, 3, 1, 1, "+", "CHAR", S::Operator},
    {77, 20, 4, 1, 1, "0", nullptr, S::Number},
    {78, 21, 4, 1, 1, ".", nullptr, S::Number},
    {79, 22, 4, 1, 1, "(\xE2\x88\x92)", "ANS", S::Number},
    {54, 23, 4, 1, 1, "ENTER", "ENTRY", S::Operator},
}};

const KeypadKey* KeypadKeyAt(float x, float y) {
  for (const KeypadKey& key : kKeypadKeys) {
    if (x >= key.x && x < key.x + key.width && y >= key.y && y < key.y + key.height) return &key;
  }
  return nullptr;
}

const KeypadKey* KeypadKeyOf(unsigned code) {
  for (const KeypadKey& key : kKeypadKeys) {
    if (key.code == code) return &key;
  }
  return nullptr;
}

}  // namespace pellux
