#include "host/key_translation.h"

#include <QKeyEvent>
#include <array>

#include "host/host_keys.h"

namespace pellux {

namespace {

// X keycodes of a PC keyboard (evdev code + 8) and their virtual keys.
constexpr std::array<unsigned, 136> MakeX11Table() {
  std::array<unsigned, 136> t{};
  t[9] = vk::kEscape;
  const unsigned digits[10] = {'1', '2', '3', '4', '5', '6', '7', '8', '9', '0'};
  for (unsigned i = 0; i < 10; ++i) t[10 + i] = digits[i];
  t[20] = vk::kMinus;
  t[21] = vk::kEquals;
  t[22] = vk::kBackspace;
  t[23] = vk::kTab;
  const char topRow[] = "QWERTYUIOP";
  for (unsigned i = 0; i < 10; ++i) t[24 + i] = static_cast<unsigned>(topRow[i]);
  t[34] = vk::kLeftBracket;
  t[35] = vk::kRightBracket;
  t[36] = vk::kEnter;
  t[37] = vk::kControl;
  const char homeRow[] = "ASDFGHJKL";
  for (unsigned i = 0; i < 9; ++i) t[38 + i] = static_cast<unsigned>(homeRow[i]);
  t[47] = vk::kSemicolon;
  t[48] = vk::kQuote;
  t[49] = vk::kBackquote;
  t[50] = vk::kShift;
  t[51] = vk::kBackslash;
  const char bottomRow[] = "ZXCVBNM";
  for (unsigned i = 0; i < 7; ++i) t[52 + i] = static_cast<unsigned>(bottomRow[i]);
  t[59] = vk::kComma;
  t[60] = vk::kPeriod;
  t[61] = vk::kSlash;
  t[62] = vk::kShift;
  t[63] = vk::kMultiply;
  t[64] = vk::kAlt;
  t[65] = vk::kSpace;
  t[66] = vk::kCapsLock;
  for (unsigned i = 0; i < 10; ++i) t[67 + i] = vk::kF1 + i;  // F1..F10
  t[77] = vk::kNumLock;
  t[78] = vk::kScrollLock;
  // The keypad by position, whatever Num Lock says.
  t[79] = vk::kNumpad0 + 7;
  t[80] = vk::kNumpad0 + 8;
  t[81] = vk::kNumpad0 + 9;
  t[82] = vk::kSubtract;
  t[83] = vk::kNumpad0 + 4;
  t[84] = vk::kNumpad0 + 5;
  t[85] = vk::kNumpad0 + 6;
  t[86] = vk::kAdd;
  t[87] = vk::kNumpad0 + 1;
  t[88] = vk::kNumpad0 + 2;
  t[89] = vk::kNumpad0 + 3;
  t[90] = vk::kNumpad0;
  t[91] = vk::kDecimal;
  t[94] = vk::kIsoBackslash;
  t[95] = vk::kF11;
  t[96] = vk::kF12;
  t[104] = vk::kEnter;  // keypad Enter
  t[105] = vk::kControl;
  t[106] = vk::kDivide;
  t[107] = vk::kPrintScreen;
  t[108] = vk::kAlt;
  t[110] = vk::kHome;
  t[111] = vk::kUp;
  t[112] = vk::kPageUp;
  t[113] = vk::kLeft;
  t[114] = vk::kRight;
  t[115] = vk::kEnd;
  t[116] = vk::kDown;
  t[117] = vk::kPageDown;
  t[118] = vk::kInsert;
  t[119] = vk::kDelete;
  t[127] = vk::kPause;
  t[129] = vk::kSeparator;  // the keypad comma of some layouts
  t[133] = vk::kLeftWindows;
  t[134] = vk::kRightWindows;
  t[135] = vk::kApps;
  return t;
}

constexpr std::array<unsigned, 136> kX11Keycodes = MakeX11Table();

unsigned KeypadVirtualKey(int key) {
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return vk::kNumpad0 + static_cast<unsigned>(key - Qt::Key_0);
  switch (key) {
    case Qt::Key_Asterisk: return vk::kMultiply;
    case Qt::Key_Plus: return vk::kAdd;
    case Qt::Key_Comma: return vk::kSeparator;
    case Qt::Key_Minus: return vk::kSubtract;
    case Qt::Key_Period: return vk::kDecimal;
    case Qt::Key_Slash: return vk::kDivide;
    case Qt::Key_Enter: return vk::kEnter;
    default: return 0;  // keypad Home, arrows and the like: as the main keys
  }
}

// Windows names the left and right Shift, Ctrl and Alt apart; the table
// knows them as one key each.
unsigned OneSided(unsigned virtualKey) {
  switch (virtualKey) {
    case vk::kLeftShift:
    case vk::kRightShift: return vk::kShift;
    case vk::kLeftControl:
    case vk::kRightControl: return vk::kControl;
    case vk::kLeftAlt:
    case vk::kRightAlt: return vk::kAlt;
    default: return virtualKey;
  }
}

}  // namespace

NativeKeys NativeKeysOfPlatform(const QString& platformName) {
  if (platformName == QLatin1String("xcb") || platformName.startsWith(QLatin1String("wayland"))) {
    return NativeKeys::X11Keycode;
  }
  if (platformName == QLatin1String("windows")) return NativeKeys::WindowsVirtualKey;
  return NativeKeys::None;
}

unsigned VirtualKeyFromX11Keycode(unsigned keycode) {
  return keycode < kX11Keycodes.size() ? kX11Keycodes[keycode] : 0;
}

unsigned VirtualKeyFromQtKey(int key, Qt::KeyboardModifiers modifiers) {
  if (modifiers & Qt::KeypadModifier) {
    if (const unsigned keypad = KeypadVirtualKey(key)) return keypad;
  }
  if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z)) {
    return static_cast<unsigned>(key);  // the same numbers as the virtual keys
  }
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return vk::kF1 + static_cast<unsigned>(key - Qt::Key_F1);
  switch (key) {
    case Qt::Key_Escape: return vk::kEscape;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return vk::kTab;
    case Qt::Key_Backspace: return vk::kBackspace;
    case Qt::Key_Return:
    case Qt::Key_Enter: return vk::kEnter;
    case Qt::Key_Insert: return vk::kInsert;
    case Qt::Key_Delete: return vk::kDelete;
    case Qt::Key_Pause: return vk::kPause;
    case Qt::Key_Print: return vk::kPrintScreen;
    case Qt::Key_Home: return vk::kHome;
    case Qt::Key_End: return vk::kEnd;
    case Qt::Key_Left: return vk::kLeft;
    case Qt::Key_Up: return vk::kUp;
    case Qt::Key_Right: return vk::kRight;
    case Qt::Key_Down: return vk::kDown;
    case Qt::Key_PageUp: return vk::kPageUp;
    case Qt::Key_PageDown: return vk::kPageDown;
    case Qt::Key_Shift: return vk::kShift;
    case Qt::Key_Control: return vk::kControl;
    case Qt::Key_Alt: return vk::kAlt;
    case Qt::Key_Meta: return vk::kLeftWindows;
    case Qt::Key_Menu: return vk::kApps;
    case Qt::Key_CapsLock: return vk::kCapsLock;
    case Qt::Key_NumLock: return vk::kNumLock;
    case Qt::Key_ScrollLock: return vk::kScrollLock;
    case Qt::Key_Space: return vk::kSpace;
    // Unshifted and shifted characters of each punctuation and digit key.
    case Qt::Key_Exclam: return '1';
    case Qt::Key_At: return '2';
    case Qt::Key_NumberSign: return '3';
    case Qt::Key_Dollar: return '4';
    case Qt::Key_Percent: return '5';
    case Qt::Key_AsciiCircum: return '6';
    case Qt::Key_Ampersand: return '7';
    case Qt::Key_Asterisk: return '8';
    case Qt::Key_ParenLeft: return '9';
    case Qt::Key_ParenRight: return '0';
    case Qt::Key_Minus:
    case Qt::Key_Underscore: return vk::kMinus;
    case Qt::Key_Equal:
    case Qt::Key_Plus: return vk::kEquals;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft: return vk::kLeftBracket;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight: return vk::kRightBracket;
    case Qt::Key_Backslash:
    case Qt::Key_Bar: return vk::kBackslash;
    case Qt::Key_Semicolon:
    case Qt::Key_Colon: return vk::kSemicolon;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl: return vk::kQuote;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde: return vk::kBackquote;
    case Qt::Key_Comma:
    case Qt::Key_Less: return vk::kComma;
    case Qt::Key_Period:
    case Qt::Key_Greater: return vk::kPeriod;
    case Qt::Key_Slash:
    case Qt::Key_Question: return vk::kSlash;
    default: return 0;
  }
}

unsigned VirtualKeyOf(const QKeyEvent& event, NativeKeys native) {
  unsigned virtualKey = 0;
  if (event.nativeScanCode() != 0 || event.nativeVirtualKey() != 0) {
    if (native == NativeKeys::X11Keycode) virtualKey = VirtualKeyFromX11Keycode(event.nativeScanCode());
    if (native == NativeKeys::WindowsVirtualKey) virtualKey = OneSided(event.nativeVirtualKey());
  }
  if (virtualKey == 0) virtualKey = VirtualKeyFromQtKey(event.key(), event.modifiers());
  return virtualKey;
}

bool IsFreeForShortcut(QKeyCombination combination) {
  const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
  // The window lets every key go at an Alt combination.
  if (modifiers & Qt::AltModifier) return true;
  if ((modifiers & Qt::ShiftModifier) && LookupHostKey(vk::kShift)) return false;
  if ((modifiers & Qt::ControlModifier) && LookupHostKey(vk::kControl)) return false;
  const unsigned key = VirtualKeyFromQtKey(combination.key(), modifiers);
  if (key == vk::kPause || key == vk::kF10 || key == vk::kF11) return false;
  return !LookupHostKey(key);
}

}  // namespace pellux
