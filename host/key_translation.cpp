#include "host/key_translation.h"

#include <QKeyEvent>
#include <array>

namespace pellux {

namespace {

constexpr std::size_t kX11Keycodes = 136;

// X keycodes of a PC keyboard (evdev code + 8) and their keys.
constexpr std::array<PcKey, kX11Keycodes> MakeX11Table() {
  std::array<PcKey, kX11Keycodes> t{};
  t[9] = PcKey::Escape;
  for (unsigned i = 0; i < 9; ++i) t[10 + i] = PcKeyAfter(PcKey::Digit1, i);  // 1..9, then 0
  t[19] = PcKey::Digit0;
  t[20] = PcKey::Minus;
  t[21] = PcKey::Equals;
  t[22] = PcKey::Backspace;
  t[23] = PcKey::Tab;
  const char topRow[] = "QWERTYUIOP";
  for (unsigned i = 0; i < 10; ++i) t[24 + i] = PcKeyAfter(PcKey::A, static_cast<unsigned>(topRow[i] - 'A'));
  t[34] = PcKey::LeftBracket;
  t[35] = PcKey::RightBracket;
  t[36] = PcKey::Enter;
  t[37] = PcKey::Control;
  const char homeRow[] = "ASDFGHJKL";
  for (unsigned i = 0; i < 9; ++i) t[38 + i] = PcKeyAfter(PcKey::A, static_cast<unsigned>(homeRow[i] - 'A'));
  t[47] = PcKey::Semicolon;
  t[48] = PcKey::Quote;
  t[49] = PcKey::Backquote;
  t[50] = PcKey::Shift;
  t[51] = PcKey::Backslash;
  const char bottomRow[] = "ZXCVBNM";
  for (unsigned i = 0; i < 7; ++i)
    t[52 + i] = PcKeyAfter(PcKey::A, static_cast<unsigned>(bottomRow[i] - 'A'));
  t[59] = PcKey::Comma;
  t[60] = PcKey::Period;
  t[61] = PcKey::Slash;
  t[62] = PcKey::Shift;
  t[63] = PcKey::NumMultiply;
  t[64] = PcKey::Alt;
  t[65] = PcKey::Space;
  t[66] = PcKey::CapsLock;
  for (unsigned i = 0; i < 10; ++i) t[67 + i] = PcKeyAfter(PcKey::F1, i);  // F1..F10
  t[77] = PcKey::NumLock;
  t[78] = PcKey::ScrollLock;
  // The keypad by position, whatever Num Lock says.
  t[79] = PcKey::Num7;
  t[80] = PcKey::Num8;
  t[81] = PcKey::Num9;
  t[82] = PcKey::NumSubtract;
  t[83] = PcKey::Num4;
  t[84] = PcKey::Num5;
  t[85] = PcKey::Num6;
  t[86] = PcKey::NumAdd;
  t[87] = PcKey::Num1;
  t[88] = PcKey::Num2;
  t[89] = PcKey::Num3;
  t[90] = PcKey::Num0;
  t[91] = PcKey::NumDecimal;
  t[94] = PcKey::IsoBackslash;
  t[95] = PcKey::F11;
  t[96] = PcKey::F12;
  t[104] = PcKey::Enter;  // keypad Enter
  t[105] = PcKey::Control;
  t[106] = PcKey::NumDivide;
  t[107] = PcKey::PrintScreen;
  t[108] = PcKey::Alt;
  t[110] = PcKey::Home;
  t[111] = PcKey::Up;
  t[112] = PcKey::PageUp;
  t[113] = PcKey::Left;
  t[114] = PcKey::Right;
  t[115] = PcKey::End;
  t[116] = PcKey::Down;
  t[117] = PcKey::PageDown;
  t[118] = PcKey::Insert;
  t[119] = PcKey::Delete;
  t[127] = PcKey::Pause;
  t[129] = PcKey::NumComma;  // the keypad comma of some layouts
  t[133] = PcKey::LeftMeta;
  t[134] = PcKey::RightMeta;
  t[135] = PcKey::Menu;
  return t;
}

constexpr std::array<PcKey, kX11Keycodes> kX11Table = MakeX11Table();

constexpr std::size_t kWindowsVirtualKeys = 256;

// Windows' virtual-key codes, the native field on that platform, and their
// keys. Windows names the left and right Shift, Ctrl and Alt apart (0xA0
// to 0xA5) besides the one-sided codes.
constexpr std::array<PcKey, kWindowsVirtualKeys> MakeWindowsTable() {
  std::array<PcKey, kWindowsVirtualKeys> t{};
  t[0x08] = PcKey::Backspace;
  t[0x09] = PcKey::Tab;
  t[0x0D] = PcKey::Enter;
  t[0x10] = t[0xA0] = t[0xA1] = PcKey::Shift;
  t[0x11] = t[0xA2] = t[0xA3] = PcKey::Control;
  t[0x12] = t[0xA4] = t[0xA5] = PcKey::Alt;
  t[0x13] = PcKey::Pause;
  t[0x14] = PcKey::CapsLock;
  t[0x1B] = PcKey::Escape;
  t[0x20] = PcKey::Space;
  t[0x21] = PcKey::PageUp;
  t[0x22] = PcKey::PageDown;
  t[0x23] = PcKey::End;
  t[0x24] = PcKey::Home;
  t[0x25] = PcKey::Left;
  t[0x26] = PcKey::Up;
  t[0x27] = PcKey::Right;
  t[0x28] = PcKey::Down;
  t[0x2C] = PcKey::PrintScreen;
  t[0x2D] = PcKey::Insert;
  t[0x2E] = PcKey::Delete;
  for (unsigned i = 0; i < 10; ++i) t[0x30 + i] = PcKeyAfter(PcKey::Digit0, i);
  for (unsigned i = 0; i < 26; ++i) t[0x41 + i] = PcKeyAfter(PcKey::A, i);
  t[0x5B] = PcKey::LeftMeta;
  t[0x5C] = PcKey::RightMeta;
  t[0x5D] = PcKey::Menu;
  for (unsigned i = 0; i < 10; ++i) t[0x60 + i] = PcKeyAfter(PcKey::Num0, i);
  t[0x6A] = PcKey::NumMultiply;
  t[0x6B] = PcKey::NumAdd;
  t[0x6C] = PcKey::NumComma;
  t[0x6D] = PcKey::NumSubtract;
  t[0x6E] = PcKey::NumDecimal;
  t[0x6F] = PcKey::NumDivide;
  for (unsigned i = 0; i < 24; ++i) t[0x70 + i] = PcKeyAfter(PcKey::F1, i);
  t[0x90] = PcKey::NumLock;
  t[0x91] = PcKey::ScrollLock;
  t[0xBA] = PcKey::Semicolon;
  t[0xBB] = PcKey::Equals;
  t[0xBC] = PcKey::Comma;
  t[0xBD] = PcKey::Minus;
  t[0xBE] = PcKey::Period;
  t[0xBF] = PcKey::Slash;
  t[0xC0] = PcKey::Backquote;
  t[0xDB] = PcKey::LeftBracket;
  t[0xDC] = PcKey::Backslash;
  t[0xDD] = PcKey::RightBracket;
  t[0xDE] = PcKey::Quote;
  t[0xE2] = PcKey::IsoBackslash;
  return t;
}

constexpr std::array<PcKey, kWindowsVirtualKeys> kWindowsTable = MakeWindowsTable();

PcKey KeypadKey(int key) {
  if (key >= Qt::Key_0 && key <= Qt::Key_9)
    return PcKeyAfter(PcKey::Num0, static_cast<unsigned>(key - Qt::Key_0));
  switch (key) {
    case Qt::Key_Asterisk: return PcKey::NumMultiply;
    case Qt::Key_Plus: return PcKey::NumAdd;
    case Qt::Key_Comma: return PcKey::NumComma;
    case Qt::Key_Minus: return PcKey::NumSubtract;
    case Qt::Key_Period: return PcKey::NumDecimal;
    case Qt::Key_Slash: return PcKey::NumDivide;
    case Qt::Key_Enter: return PcKey::Enter;
    default: return PcKey::None;  // keypad Home, arrows and the like: as the main keys
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

PcKey PcKeyFromX11Keycode(unsigned keycode) {
  return keycode < kX11Table.size() ? kX11Table[keycode] : PcKey::None;
}

PcKey PcKeyFromWindowsVirtualKey(unsigned virtualKey) {
  return virtualKey < kWindowsTable.size() ? kWindowsTable[virtualKey] : PcKey::None;
}

PcKey PcKeyFromQtKey(int key, Qt::KeyboardModifiers modifiers) {
  if (modifiers & Qt::KeypadModifier) {
    if (const PcKey keypad = KeypadKey(key); keypad != PcKey::None) return keypad;
  }
  if (key >= Qt::Key_0 && key <= Qt::Key_9)
    return PcKeyAfter(PcKey::Digit0, static_cast<unsigned>(key - Qt::Key_0));
  if (key >= Qt::Key_A && key <= Qt::Key_Z)
    return PcKeyAfter(PcKey::A, static_cast<unsigned>(key - Qt::Key_A));
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
    return PcKeyAfter(PcKey::F1, static_cast<unsigned>(key - Qt::Key_F1));
  switch (key) {
    case Qt::Key_Escape: return PcKey::Escape;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return PcKey::Tab;
    case Qt::Key_Backspace: return PcKey::Backspace;
    case Qt::Key_Return:
    case Qt::Key_Enter: return PcKey::Enter;
    case Qt::Key_Insert: return PcKey::Insert;
    case Qt::Key_Delete: return PcKey::Delete;
    case Qt::Key_Pause: return PcKey::Pause;
    case Qt::Key_Print: return PcKey::PrintScreen;
    case Qt::Key_Home: return PcKey::Home;
    case Qt::Key_End: return PcKey::End;
    case Qt::Key_Left: return PcKey::Left;
    case Qt::Key_Up: return PcKey::Up;
    case Qt::Key_Right: return PcKey::Right;
    case Qt::Key_Down: return PcKey::Down;
    case Qt::Key_PageUp: return PcKey::PageUp;
    case Qt::Key_PageDown: return PcKey::PageDown;
    case Qt::Key_Shift: return PcKey::Shift;
    case Qt::Key_Control: return PcKey::Control;
    case Qt::Key_Alt: return PcKey::Alt;
    case Qt::Key_Meta: return PcKey::LeftMeta;
    case Qt::Key_Menu: return PcKey::Menu;
    case Qt::Key_CapsLock: return PcKey::CapsLock;
    case Qt::Key_NumLock: return PcKey::NumLock;
    case Qt::Key_ScrollLock: return PcKey::ScrollLock;
    case Qt::Key_Space: return PcKey::Space;
    // Unshifted and shifted characters of each punctuation and digit key.
    case Qt::Key_Exclam: return PcKey::Digit1;
    case Qt::Key_At: return PcKey::Digit2;
    case Qt::Key_NumberSign: return PcKey::Digit3;
    case Qt::Key_Dollar: return PcKey::Digit4;
    case Qt::Key_Percent: return PcKey::Digit5;
    case Qt::Key_AsciiCircum: return PcKey::Digit6;
    case Qt::Key_Ampersand: return PcKey::Digit7;
    case Qt::Key_Asterisk: return PcKey::Digit8;
    case Qt::Key_ParenLeft: return PcKey::Digit9;
    case Qt::Key_ParenRight: return PcKey::Digit0;
    case Qt::Key_Minus:
    case Qt::Key_Underscore: return PcKey::Minus;
    case Qt::Key_Equal:
    case Qt::Key_Plus: return PcKey::Equals;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft: return PcKey::LeftBracket;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight: return PcKey::RightBracket;
    case Qt::Key_Backslash:
    case Qt::Key_Bar: return PcKey::Backslash;
    case Qt::Key_Semicolon:
    case Qt::Key_Colon: return PcKey::Semicolon;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl: return PcKey::Quote;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde: return PcKey::Backquote;
    case Qt::Key_Comma:
    case Qt::Key_Less: return PcKey::Comma;
    case Qt::Key_Period:
    case Qt::Key_Greater: return PcKey::Period;
    case Qt::Key_Slash:
    case Qt::Key_Question: return PcKey::Slash;
    default: return PcKey::None;
  }
}

PcKey PcKeyOf(const QKeyEvent& event, NativeKeys native) {
  if (native == NativeKeys::X11Keycode && event.nativeScanCode() != 0) {
    if (const PcKey key = PcKeyFromX11Keycode(event.nativeScanCode()); key != PcKey::None) return key;
  }
  // Windows names every key it sends: one it does not know is no key here.
  if (native == NativeKeys::WindowsVirtualKey && event.nativeVirtualKey() != 0)
    return PcKeyFromWindowsVirtualKey(event.nativeVirtualKey());
  return PcKeyFromQtKey(event.key(), event.modifiers());
}

bool IsFreeForShortcut(QKeyCombination combination) {
  const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
  // The window lets every key go at an Alt combination.
  if (modifiers & Qt::AltModifier) return true;
  if ((modifiers & Qt::ShiftModifier) && LookupHostKey(PcKey::Shift)) return false;
  if ((modifiers & Qt::ControlModifier) && LookupHostKey(PcKey::Control)) return false;
  const PcKey key = PcKeyFromQtKey(combination.key(), modifiers);
  if (key == PcKey::Pause || key == PcKey::F10 || key == PcKey::F11) return false;
  return !LookupHostKey(key);
}

}  // namespace pellux
