// The PC keyboard on the calculator: the physical keys the window knows, by
// where they sit on a PC keyboard, and the table that maps them onto
// calculator key codes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace pellux {

// A key of a PC keyboard, whatever character the layout puts on it. The
// left and right forms of Shift, Ctrl and Alt are one key each, and so are
// Enter and the keypad's Enter. Digits, letters, keypad digits and F keys
// are consecutive.
// clang-format off
enum class PcKey : std::uint8_t {
  None,  // a key the window does not know
  // The main block.
  Digit0, Digit1, Digit2, Digit3, Digit4, Digit5, Digit6, Digit7, Digit8, Digit9,
  A, B, C, D, E, F, G, H, I, J, K, L, M, N, O, P, Q, R, S, T, U, V, W, X, Y, Z,
  Minus, Equals, LeftBracket, RightBracket, Backslash, Semicolon, Quote, Backquote, Comma, Period, Slash,
  IsoBackslash,  // the extra key beside the left Shift on ISO keyboards
  Space, Backspace, Tab, Enter, Escape, CapsLock,
  Shift, Control, Alt, LeftMeta, RightMeta, Menu,
  F1, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11, F12,
  F13, F14, F15, F16, F17, F18, F19, F20, F21, F22, F23, F24,
  // Above and beside the arrows.
  PrintScreen, ScrollLock, Pause, Insert, Delete, Home, End, PageUp, PageDown,
  Left, Up, Right, Down,
  // The numeric keypad, by position whatever Num Lock says.
  NumLock, Num0, Num1, Num2, Num3, Num4, Num5, Num6, Num7, Num8, Num9,
  NumMultiply, NumAdd, NumComma, NumSubtract, NumDecimal, NumDivide,
  Count
};
// clang-format on

inline constexpr unsigned kPcKeyCount = static_cast<unsigned>(PcKey::Count);

// The key `offset` places after `first` ('7' is PcKeyAfter(PcKey::Digit0, 7)).
constexpr PcKey PcKeyAfter(PcKey first, unsigned offset) {
  return static_cast<PcKey>(static_cast<unsigned>(first) + offset);
}

struct HostKey {
  PcKey key;
  std::uint8_t code;  // calculator key code: 0..79 a matrix key, 128 ON
};

// Every PC key that presses a calculator key, once each. F10 and Alt
// combinations are system keys and F11 opens the debugger, so none of them
// is here.
// clang-format off
inline constexpr std::array<HostKey, 89> kHostKeyTable = {{
    {PcKey::End, 128}, {PcKey::Equals, 0}, {PcKey::Control, 1}, {PcKey::Shift, 2}, {PcKey::F12, 3},
    {PcKey::Left, 4}, {PcKey::Up, 5}, {PcKey::Right, 6}, {PcKey::Down, 7}, {PcKey::Z, 9}, {PcKey::S, 10},
    {PcKey::W, 11}, {PcKey::F8, 12}, {PcKey::Digit1, 13}, {PcKey::Num1, 13}, {PcKey::Digit2, 14},
    {PcKey::Num2, 14}, {PcKey::Digit3, 15}, {PcKey::Num3, 15}, {PcKey::X, 17}, {PcKey::D, 18}, {PcKey::E, 19},
    {PcKey::F3, 20}, {PcKey::Digit4, 21}, {PcKey::Num4, 21}, {PcKey::Digit5, 22}, {PcKey::Num5, 22},
    {PcKey::Digit6, 23}, {PcKey::Num6, 23}, {PcKey::Tab, 24}, {PcKey::C, 25}, {PcKey::F, 26}, {PcKey::R, 27},
    {PcKey::F7, 28}, {PcKey::Digit7, 29}, {PcKey::Num7, 29}, {PcKey::Digit8, 30}, {PcKey::Num8, 30},
    {PcKey::Digit9, 31}, {PcKey::Num9, 31}, {PcKey::Space, 32}, {PcKey::V, 33}, {PcKey::G, 34}, {PcKey::T, 35},
    {PcKey::F2, 36}, {PcKey::LeftBracket, 37}, {PcKey::RightBracket, 38}, {PcKey::Comma, 39},
    {PcKey::NumDivide, 40}, {PcKey::B, 41}, {PcKey::H, 42}, {PcKey::Y, 43}, {PcKey::F6, 44}, {PcKey::Insert, 45},
    {PcKey::Home, 46}, {PcKey::PageUp, 47}, {PcKey::Backslash, 48}, {PcKey::N, 49}, {PcKey::J, 50},
    {PcKey::U, 51}, {PcKey::F1, 52}, {PcKey::PageDown, 53}, {PcKey::NumComma, 54}, {PcKey::P, 55},
    {PcKey::Slash, 56}, {PcKey::M, 57}, {PcKey::K, 58}, {PcKey::I, 59}, {PcKey::F5, 60}, {PcKey::Delete, 61},
    {PcKey::F9, 62}, {PcKey::NumMultiply, 63}, {PcKey::Backspace, 64}, {PcKey::Semicolon, 65}, {PcKey::L, 66},
    {PcKey::O, 67}, {PcKey::NumAdd, 68}, {PcKey::Backquote, 69}, {PcKey::Escape, 70}, {PcKey::NumSubtract, 72},
    {PcKey::Enter, 73}, {PcKey::A, 74}, {PcKey::Q, 75}, {PcKey::F4, 76}, {PcKey::Digit0, 77}, {PcKey::Num0, 77},
    {PcKey::Period, 78}, {PcKey::NumDecimal, 78}, {PcKey::Minus, 79},
}};
// clang-format on

// The calculator key code a PC key presses, or nothing for a key the
// calculator does not have.
std::optional<unsigned> LookupHostKey(PcKey key);

}  // namespace pellux
