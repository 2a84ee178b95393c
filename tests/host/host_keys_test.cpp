// The PC keyboard on the calculator: every key of the host key table, reached
// through the X11 keycode of the physical key, through Qt's key() as the
// offscreen platform sends it, and through Windows' virtual-key codes.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <set>

#include "host/host_keys.h"
#include "host/key_translation.h"

namespace pellux {
namespace {

struct PhysicalKey {
  const char* name;
  unsigned x11Keycode;  // evdev code + 8
  int qtKey;            // what key() says without Shift
  bool keypad;
  unsigned code;        // the calculator key it must give
  unsigned windowsKey;  // Windows' virtual-key code of the key
};

// Every key of the table, in the table's order, by where it sits on a PC keyboard.
const PhysicalKey kKeys[] = {
    {"End", 115, Qt::Key_End, false, 128, 35},
    {"=", 21, Qt::Key_Equal, false, 0, 187},
    {"Left Ctrl", 37, Qt::Key_Control, false, 1, 17},
    {"Left Shift", 50, Qt::Key_Shift, false, 2, 16},
    {"F12", 96, Qt::Key_F12, false, 3, 123},
    {"Left", 113, Qt::Key_Left, false, 4, 37},
    {"Up", 111, Qt::Key_Up, false, 5, 38},
    {"Right", 114, Qt::Key_Right, false, 6, 39},
    {"Down", 116, Qt::Key_Down, false, 7, 40},
    {"Z", 52, Qt::Key_Z, false, 9, 90},
    {"S", 39, Qt::Key_S, false, 10, 83},
    {"W", 25, Qt::Key_W, false, 11, 87},
    {"F8", 74, Qt::Key_F8, false, 12, 119},
    {"1", 10, Qt::Key_1, false, 13, 49},
    {"Num 1", 87, Qt::Key_1, true, 13, 97},
    {"2", 11, Qt::Key_2, false, 14, 50},
    {"Num 2", 88, Qt::Key_2, true, 14, 98},
    {"3", 12, Qt::Key_3, false, 15, 51},
    {"Num 3", 89, Qt::Key_3, true, 15, 99},
    {"X", 53, Qt::Key_X, false, 17, 88},
    {"D", 40, Qt::Key_D, false, 18, 68},
    {"E", 26, Qt::Key_E, false, 19, 69},
    {"F3", 69, Qt::Key_F3, false, 20, 114},
    {"4", 13, Qt::Key_4, false, 21, 52},
    {"Num 4", 83, Qt::Key_4, true, 21, 100},
    {"5", 14, Qt::Key_5, false, 22, 53},
    {"Num 5", 84, Qt::Key_5, true, 22, 101},
    {"6", 15, Qt::Key_6, false, 23, 54},
    {"Num 6", 85, Qt::Key_6, true, 23, 102},
    {"Tab", 23, Qt::Key_Tab, false, 24, 9},
    {"C", 54, Qt::Key_C, false, 25, 67},
    {"F", 41, Qt::Key_F, false, 26, 70},
    {"R", 27, Qt::Key_R, false, 27, 82},
    {"F7", 73, Qt::Key_F7, false, 28, 118},
    {"7", 16, Qt::Key_7, false, 29, 55},
    {"Num 7", 79, Qt::Key_7, true, 29, 103},
    {"8", 17, Qt::Key_8, false, 30, 56},
    {"Num 8", 80, Qt::Key_8, true, 30, 104},
    {"9", 18, Qt::Key_9, false, 31, 57},
    {"Num 9", 81, Qt::Key_9, true, 31, 105},
    {"Space", 65, Qt::Key_Space, false, 32, 32},
    {"V", 55, Qt::Key_V, false, 33, 86},
    {"G", 42, Qt::Key_G, false, 34, 71},
    {"T", 28, Qt::Key_T, false, 35, 84},
    {"F2", 68, Qt::Key_F2, false, 36, 113},
    {"[", 34, Qt::Key_BracketLeft, false, 37, 219},
    {"]", 35, Qt::Key_BracketRight, false, 38, 221},
    {",", 59, Qt::Key_Comma, false, 39, 188},
    {"Num /", 106, Qt::Key_Slash, true, 40, 111},
    {"B", 56, Qt::Key_B, false, 41, 66},
    {"H", 43, Qt::Key_H, false, 42, 72},
    {"Y", 29, Qt::Key_Y, false, 43, 89},
    {"F6", 72, Qt::Key_F6, false, 44, 117},
    {"Insert", 118, Qt::Key_Insert, false, 45, 45},
    {"Home", 110, Qt::Key_Home, false, 46, 36},
    {"Page Up", 112, Qt::Key_PageUp, false, 47, 33},
    {"\\", 51, Qt::Key_Backslash, false, 48, 220},
    {"N", 57, Qt::Key_N, false, 49, 78},
    {"J", 44, Qt::Key_J, false, 50, 74},
    {"U", 30, Qt::Key_U, false, 51, 85},
    {"F1", 67, Qt::Key_F1, false, 52, 112},
    {"Page Down", 117, Qt::Key_PageDown, false, 53, 34},
    {"Num ,", 129, Qt::Key_Comma, true, 54, 108},
    {"P", 33, Qt::Key_P, false, 55, 80},
    {"/", 61, Qt::Key_Slash, false, 56, 191},
    {"M", 58, Qt::Key_M, false, 57, 77},
    {"K", 45, Qt::Key_K, false, 58, 75},
    {"I", 31, Qt::Key_I, false, 59, 73},
    {"F5", 71, Qt::Key_F5, false, 60, 116},
    {"Delete", 119, Qt::Key_Delete, false, 61, 46},
    {"F9", 75, Qt::Key_F9, false, 62, 120},
    {"Num *", 63, Qt::Key_Asterisk, true, 63, 106},
    {"Backspace", 22, Qt::Key_Backspace, false, 64, 8},
    {";", 47, Qt::Key_Semicolon, false, 65, 186},
    {"L", 46, Qt::Key_L, false, 66, 76},
    {"O", 32, Qt::Key_O, false, 67, 79},
    {"Num +", 86, Qt::Key_Plus, true, 68, 107},
    {"`", 49, Qt::Key_QuoteLeft, false, 69, 192},
    {"Esc", 9, Qt::Key_Escape, false, 70, 27},
    {"Num -", 82, Qt::Key_Minus, true, 72, 109},
    {"Enter", 36, Qt::Key_Return, false, 73, 13},
    {"A", 38, Qt::Key_A, false, 74, 65},
    {"Q", 24, Qt::Key_Q, false, 75, 81},
    {"F4", 70, Qt::Key_F4, false, 76, 115},
    {"0", 19, Qt::Key_0, false, 77, 48},
    {"Num 0", 90, Qt::Key_0, true, 77, 96},
    {".", 60, Qt::Key_Period, false, 78, 190},
    {"Num .", 91, Qt::Key_Period, true, 78, 110},
    {"-", 20, Qt::Key_Minus, false, 79, 189},
};

// Keys the table reaches a second way: the right-hand modifiers and keypad Enter.
const PhysicalKey kSecondKeys[] = {
    {"Right Ctrl", 105, Qt::Key_Control, false, 1, 0xA3},
    {"Right Shift", 62, Qt::Key_Shift, false, 2, 0xA1},
    {"Num Enter", 104, Qt::Key_Enter, true, 73, 0x0D},
};

Qt::KeyboardModifiers ModifiersOf(const PhysicalKey& key, Qt::KeyboardModifiers extra = {}) {
  return (key.keypad ? Qt::KeypadModifier : Qt::NoModifier) | extra;
}

std::optional<unsigned> CodeOf(const QKeyEvent& event, NativeKeys native) {
  return LookupHostKey(PcKeyOf(event, native));
}

TEST(HostKeys, TheTableHas89DistinctKeysAndNoneForSystemKeysOrF11) {
  std::set<PcKey> keys;
  std::set<unsigned> codes;
  for (const HostKey& key : kHostKeyTable) {
    keys.insert(key.key);
    codes.insert(key.code);
  }
  EXPECT_EQ(keys.size(), 89u);
  for (const unsigned missing : {8u, 16u, 71u}) EXPECT_EQ(codes.count(missing), 0u) << missing;
  for (const PcKey system : {PcKey::F10, PcKey::F11, PcKey::Alt, PcKey::None, PcKey::Count, PcKey{255}}) {
    EXPECT_FALSE(LookupHostKey(system).has_value()) << static_cast<int>(system);
  }
}

TEST(HostKeys, EveryPhysicalKeyUnderX11WhateverKeyItTypes) {
  std::set<PcKey> seen;
  auto check = [&](const PhysicalKey& key) {
    // key() deliberately says something else: only the keycode names the key.
    for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
      const QKeyEvent event(type, Qt::Key_unknown, ModifiersOf(key), key.x11Keycode, 0x1234, 0);
      EXPECT_EQ(CodeOf(event, NativeKeys::X11Keycode), key.code) << key.name;
    }
    seen.insert(PcKeyFromX11Keycode(key.x11Keycode));
  };
  for (const PhysicalKey& key : kKeys) check(key);
  for (const PhysicalKey& key : kSecondKeys) check(key);
  EXPECT_EQ(seen.size(), kHostKeyTable.size()) << "every entry of the table is reached";
}

TEST(HostKeys, EveryKeyOnTheOffscreenPlatformByItsQtKey) {
  for (const PhysicalKey& key : kKeys) {
    const QKeyEvent event(QEvent::KeyPress, key.qtKey, ModifiersOf(key));
    EXPECT_EQ(CodeOf(event, NativeKeys::None), key.code) << key.name;
    // Both native fields 0: key() decides on X11 too.
    EXPECT_EQ(CodeOf(event, NativeKeys::X11Keycode), key.code) << key.name;
  }
  for (const PhysicalKey& key : kSecondKeys) {
    EXPECT_EQ(CodeOf(QKeyEvent(QEvent::KeyPress, key.qtKey, ModifiersOf(key)), NativeKeys::None), key.code)
        << key.name;
  }
}

TEST(HostKeys, ShiftHeldStillNamesTheKeyUnderneath) {
  struct Shifted {
    unsigned x11Keycode;
    int shiftedKey;  // what key() says with Shift on a US layout
    unsigned code;
  };
  const Shifted cases[] = {
      {10, Qt::Key_Exclam, 13},      {11, Qt::Key_At, 14},          {12, Qt::Key_NumberSign, 15},
      {13, Qt::Key_Dollar, 21},      {14, Qt::Key_Percent, 22},     {15, Qt::Key_AsciiCircum, 23},
      {16, Qt::Key_Ampersand, 29},   {17, Qt::Key_Asterisk, 30},    {18, Qt::Key_ParenLeft, 31},
      {19, Qt::Key_ParenRight, 77},  {20, Qt::Key_Underscore, 79},  {21, Qt::Key_Plus, 0},
      {34, Qt::Key_BraceLeft, 37},   {35, Qt::Key_BraceRight, 38},  {51, Qt::Key_Bar, 48},
      {47, Qt::Key_Colon, 65},       {49, Qt::Key_AsciiTilde, 69},  {59, Qt::Key_Less, 39},
      {60, Qt::Key_Greater, 78},     {61, Qt::Key_Question, 56},    {23, Qt::Key_Backtab, 24},
  };
  for (const Shifted& key : cases) {
    // The press says the shifted key; under X11 the release may say the plain one.
    const QKeyEvent press(QEvent::KeyPress, key.shiftedKey, Qt::ShiftModifier, key.x11Keycode, 0x21, 1);
    const QKeyEvent release(QEvent::KeyRelease, Qt::Key_1, Qt::ShiftModifier, key.x11Keycode, 0x31, 1);
    EXPECT_EQ(CodeOf(press, NativeKeys::X11Keycode), key.code) << key.x11Keycode;
    EXPECT_EQ(CodeOf(release, NativeKeys::X11Keycode), key.code) << key.x11Keycode;
    // Offscreen there is only key(): it goes back to the key underneath too.
    EXPECT_EQ(CodeOf(QKeyEvent(QEvent::KeyPress, key.shiftedKey, Qt::ShiftModifier), NativeKeys::None), key.code)
        << key.x11Keycode;
  }
}

TEST(HostKeys, KeypadKeysAreTheirOwnWhateverNumLockSays) {
  // Num Lock off: X11 still sends the keypad's keycodes, key() says Home, End...
  const QKeyEvent num7(QEvent::KeyPress, Qt::Key_Home, Qt::KeypadModifier, 79, 0xff95, 0);
  EXPECT_EQ(CodeOf(num7, NativeKeys::X11Keycode), 29u);
  // The keypad operators are not the main keys with the same characters.
  EXPECT_EQ(CodeOf(QKeyEvent(QEvent::KeyPress, Qt::Key_Asterisk, Qt::NoModifier), NativeKeys::None), 30u);
  EXPECT_EQ(CodeOf(QKeyEvent(QEvent::KeyPress, Qt::Key_Asterisk, Qt::KeypadModifier), NativeKeys::None), 63u);
  EXPECT_EQ(CodeOf(QKeyEvent(QEvent::KeyPress, Qt::Key_Plus, Qt::KeypadModifier), NativeKeys::None), 68u);
  EXPECT_EQ(CodeOf(QKeyEvent(QEvent::KeyPress, Qt::Key_Plus, Qt::ShiftModifier), NativeKeys::None), 0u);
  // Keypad navigation keys without a keypad meaning are the main ones.
  EXPECT_EQ(CodeOf(QKeyEvent(QEvent::KeyPress, Qt::Key_End, Qt::KeypadModifier), NativeKeys::None), 128u);
}

TEST(HostKeys, EveryKeyByItsWindowsVirtualKey) {
  auto check = [](const PhysicalKey& key) {
    // key() deliberately says something else: only the virtual key names the key.
    const QKeyEvent event(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, 0x1C, key.windowsKey, 0);
    EXPECT_EQ(CodeOf(event, NativeKeys::WindowsVirtualKey), key.code) << key.name;
  };
  for (const PhysicalKey& key : kKeys) check(key);
  for (const PhysicalKey& key : kSecondKeys) check(key);
  // Left and right forms of Shift and Ctrl (0xA0..0xA3) are the one key of the table.
  for (const auto& [sided, code] : {std::pair{0xA0u, 2u}, {0xA1u, 2u}, {0xA2u, 1u}, {0xA3u, 1u}}) {
    const QKeyEvent event(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, 0x2A, sided, 0);
    EXPECT_EQ(CodeOf(event, NativeKeys::WindowsVirtualKey), code) << sided;
  }
}

TEST(HostKeys, PlatformsAndUnknownKeys) {
  EXPECT_EQ(NativeKeysOfPlatform("xcb"), NativeKeys::X11Keycode);
  EXPECT_EQ(NativeKeysOfPlatform("wayland-egl"), NativeKeys::X11Keycode);
  EXPECT_EQ(NativeKeysOfPlatform("windows"), NativeKeys::WindowsVirtualKey);
  EXPECT_EQ(NativeKeysOfPlatform("offscreen"), NativeKeys::None);
  EXPECT_EQ(PcKeyFromX11Keycode(0), PcKey::None);
  EXPECT_EQ(PcKeyFromX11Keycode(100000), PcKey::None);
  EXPECT_EQ(PcKeyFromWindowsVirtualKey(0), PcKey::None);
  EXPECT_EQ(PcKeyFromWindowsVirtualKey(100000), PcKey::None);
  // A keycode this keyboard does not know falls back to key().
  EXPECT_EQ(CodeOf(QKeyEvent(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, 250, 0x71, 0), NativeKeys::X11Keycode),
            75u);
  EXPECT_EQ(PcKeyFromQtKey(Qt::Key_VolumeUp, Qt::NoModifier), PcKey::None);
}

}  // namespace
}  // namespace pellux
