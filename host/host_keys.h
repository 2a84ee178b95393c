// The PC keyboard on the calculator: host virtual-key codes (the Windows
// numbering, which every host key event is translated into first) and the
// table that maps them onto calculator key codes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace pellux {

// Virtual-key codes of the keys the shell handles by name.
namespace vk {
constexpr unsigned kBackspace = 8;
constexpr unsigned kTab = 9;
constexpr unsigned kEnter = 13;
constexpr unsigned kShift = 16;
constexpr unsigned kControl = 17;
constexpr unsigned kAlt = 18;
constexpr unsigned kPause = 19;
constexpr unsigned kCapsLock = 20;
constexpr unsigned kEscape = 27;
constexpr unsigned kSpace = 32;
constexpr unsigned kPageUp = 33;
constexpr unsigned kPageDown = 34;
constexpr unsigned kEnd = 35;
constexpr unsigned kHome = 36;
constexpr unsigned kLeft = 37;
constexpr unsigned kUp = 38;
constexpr unsigned kRight = 39;
constexpr unsigned kDown = 40;
constexpr unsigned kPrintScreen = 44;
constexpr unsigned kInsert = 45;
constexpr unsigned kDelete = 46;
constexpr unsigned k0 = 48;  // '0'..'9' are 48..57
constexpr unsigned kA = 65;  // 'A'..'Z' are 65..90
constexpr unsigned kLeftWindows = 91;
constexpr unsigned kRightWindows = 92;
constexpr unsigned kApps = 93;
constexpr unsigned kNumpad0 = 96;  // Num 0..Num 9 are 96..105
constexpr unsigned kMultiply = 106;
constexpr unsigned kAdd = 107;
constexpr unsigned kSeparator = 108;
constexpr unsigned kSubtract = 109;
constexpr unsigned kDecimal = 110;
constexpr unsigned kDivide = 111;
constexpr unsigned kF1 = 112;  // F1..F24 are 112..135
constexpr unsigned kF10 = 121;
constexpr unsigned kF11 = 122;
constexpr unsigned kF12 = 123;
constexpr unsigned kNumLock = 144;
constexpr unsigned kScrollLock = 145;
constexpr unsigned kLeftShift = 160;  // left and right forms of Shift, Ctrl, Alt: 160..165
constexpr unsigned kRightShift = 161;
constexpr unsigned kLeftControl = 162;
constexpr unsigned kRightControl = 163;
constexpr unsigned kLeftAlt = 164;
constexpr unsigned kRightAlt = 165;
constexpr unsigned kSemicolon = 186;
constexpr unsigned kEquals = 187;
constexpr unsigned kComma = 188;
constexpr unsigned kMinus = 189;
constexpr unsigned kPeriod = 190;
constexpr unsigned kSlash = 191;
constexpr unsigned kBackquote = 192;
constexpr unsigned kLeftBracket = 219;
constexpr unsigned kBackslash = 220;
constexpr unsigned kRightBracket = 221;
constexpr unsigned kQuote = 222;
constexpr unsigned kIsoBackslash = 226;  // the extra key beside the left Shift on ISO keyboards
}  // namespace vk

struct HostKey {
  std::uint8_t virtualKey;
  std::uint8_t code;  // calculator key code: 0..79 a matrix key, 128 ON
};

// Searched from the top; the first pair whose virtual key matches wins.
// F10 and Alt combinations are system keys and F11 opens the debugger, so
// none of them is here.
inline constexpr std::array<HostKey, 89> kHostKeyTable = {{
    {35, 128},  {187, 0},  {17, 1},   {16, 2},   {123, 3},  {37, 4},   {38, 5},   {39, 6},   {40, 7},
    {90, 9},    {83, 10},  {87, 11},  {119, 12}, {49, 13},  {97, 13},  {50, 14},  {98, 14},  {51, 15},
    {99, 15},   {88, 17},  {68, 18},  {69, 19},  {114, 20}, {52, 21},  {100, 21}, {53, 22},  {101, 22},
    {54, 23},   {102, 23}, {9, 24},   {67, 25},  {70, 26},  {82, 27},  {118, 28}, {55, 29},  {103, 29},
    {56, 30},   {104, 30}, {57, 31},  {105, 31}, {32, 32},  {86, 33},  {71, 34},  {84, 35},  {113, 36},
    {219, 37},  {221, 38}, {188, 39}, {111, 40}, {66, 41},  {72, 42},  {89, 43},  {117, 44}, {45, 45},
    {36, 46},   {33, 47},  {220, 48}, {78, 49},  {74, 50},  {85, 51},  {112, 52}, {34, 53},  {108, 54},
    {80, 55},   {191, 56}, {77, 57},  {75, 58},  {73, 59},  {116, 60}, {46, 61},  {120, 62}, {106, 63},
    {8, 64},    {186, 65}, {76, 66},  {79, 67},  {107, 68}, {192, 69}, {27, 70},  {109, 72}, {13, 73},
    {65, 74},   {81, 75},  {115, 76}, {48, 77},  {96, 77},  {190, 78}, {110, 78}, {189, 79},
}};

// The calculator key code of a virtual key, or nothing for a key the
// calculator does not have.
std::optional<unsigned> LookupHostKey(unsigned virtualKey);

}  // namespace pellux
