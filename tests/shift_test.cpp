// Shifts and rotates at the counts where single-step rules meet the operand
// width: 0, the width, one past it, multiples of the rotate rings, 63 and 64.
#include <gtest/gtest.h>

#include "cpu/core.h"
#include "cpu/exceptions.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::FlatFixture;

enum Type : unsigned { kAs = 0, kLs = 1, kRox = 2, kRo = 3 };
enum Size : unsigned { kB = 0, kW = 1, kL = 2 };
constexpr unsigned kX = 0x10, kN = 0x08, kZ = 0x04, kV = 0x02, kC = 0x01;

// <type><dir>.<size> D1,D0: the count is D1 modulo 64.
constexpr std::uint16_t ByRegister(Type type, bool left, Size size) {
  return static_cast<std::uint16_t>(0xE000 | 1 << 9 | left << 8 | size << 6 | 0x20 | type << 3);
}

// <type><dir>.<size> #count,D0 (count 1..8).
constexpr std::uint16_t ByImmediate(Type type, bool left, Size size, unsigned count) {
  return static_cast<std::uint16_t>(0xE000 | (count & 7) << 9 | left << 8 | size << 6 | type << 3);
}

TEST(Shift, CountsAtTheEdgesOfTheWidth) {
  struct Case {
    const char* what;
    std::uint16_t opcode;
    std::uint32_t d0, count, ccrIn;
    std::uint32_t result, ccrOut;
  };
  const Case cases[] = {
      {"ASL.B #1 0x40", ByImmediate(kAs, true, kB, 1), 0xAAAAAA40, 0, 0, 0xAAAAAA80, kN | kV},
      {"ASL.B #2 0xC0: top bit changes at the second step", ByImmediate(kAs, true, kB, 2), 0xC0, 0, 0, 0,
       kX | kZ | kV | kC},
      {"ASL.B by 9 on 0x01", ByRegister(kAs, true, kB), 0x01, 9, 0, 0, kZ | kV},
      {"ASL.L by 63 on 0", ByRegister(kAs, true, kL), 0, 63, kX | kC, 0, kZ},
      {"ASL.L by 31 on all ones: V stays 0", ByRegister(kAs, true, kL), 0xFFFFFFFF, 31, 0,
       0x80000000, kX | kN | kC},
      {"ASL.W by 8 on 0xFF80: V stays 0", ByRegister(kAs, true, kW), 0xFF80, 8, 0, 0x8000, kX | kN | kC},
      {"ASR.W by 40 on 0x8000", ByRegister(kAs, false, kW), 0x12348000, 40, 0, 0x1234FFFF, kX | kN | kC},
      {"ASR.L by 63 on a positive long", ByRegister(kAs, false, kL), 0x7FFFFFFF, 63, kX | kC, 0, kZ},
      {"LSR.L by 32 on 0x80000000", ByRegister(kLs, false, kL), 0x80000000, 32, 0, 0, kX | kZ | kC},
      {"LSR.L by 33 on 0x80000000", ByRegister(kLs, false, kL), 0x80000000, 33, kX | kC, 0, kZ},
      {"LSL.B by 8 on 0x01", ByRegister(kLs, true, kB), 0xFFFFFF01, 8, 0, 0xFFFFFF00, kX | kZ | kC},
      {"LSL.B by 9 on 0x01", ByRegister(kLs, true, kB), 0x01, 9, kX | kC, 0, kZ},
      {"LSL.L by 32 on 1", ByRegister(kLs, true, kL), 1, 32, 0, 0, kX | kZ | kC},
      {"count 64 is a count of 0: C cleared, X kept", ByRegister(kLs, true, kB), 0x80, 64, kX | kC, 0x80,
       kX | kN},
      {"count 64 on ROXL: C = X", ByRegister(kRox, true, kW), 0x1234, 64, kX, 0x1234, kX | kC},
      {"ROXR.B by 9 with X = 1", ByRegister(kRox, false, kB), 0x5A, 9, kX, 0x5A, kX | kC},
      {"ROXR.L by 32 on 1 is ROXL.L by 1", ByRegister(kRox, false, kL), 1, 32, 0, 2, 0},
      {"ROXL.L by 33 leaves the operand", ByRegister(kRox, true, kL), 0x80000001, 33, kX, 0x80000001,
       kX | kN | kC},
      {"ROXL.W by 17 + 3 on 0x8000, X = 0", ByRegister(kRox, true, kW), 0x8000, 20, 0, 0x0002, 0},
      {"ROXR.B by 1 brings X into bit 7", ByImmediate(kRox, false, kB, 1), 0x01, 0, kX, 0x80, kX | kN | kC},
      {"ROL.W by 16 on 0x8001", ByRegister(kRo, true, kW), 0x8001, 16, 0, 0x8001, kN | kC},
      {"ROR.B by 32 on 0x80", ByRegister(kRo, false, kB), 0x80, 32, 0, 0x80, kN | kC},
      {"ROR.L #8 keeps X", ByImmediate(kRo, false, kL, 8), 0x12345678, 0, kX, 0x78123456, kX},
      {"ROL.L by 63 is ROR by 1", ByRegister(kRo, true, kL), 0x00000003, 63, 0, 0x80000001, kN | kC},
  };
  for (const Case& c : cases) {
    FlatFixture f;
    f.Load({c.opcode});
    f.m.cpu.d(0) = c.d0;
    f.m.cpu.d(1) = c.count;
    SetCCR(f.m.cpu, c.ccrIn);
    RunInstructions(f.m, 1, nullptr);
    EXPECT_EQ(f.m.cpu.d(0), c.result) << c.what;
    EXPECT_EQ(GetSR(f.m.cpu) & 0x1F, c.ccrOut) << c.what;
    EXPECT_EQ(f.m.cpu.pc, FlatFixture::kCode + 2) << c.what;
  }
}

TEST(Shift, MemoryFormShiftsOneWordByOnePlace) {
  FlatFixture f;
  f.Load({0xE1D0});  // ASL (A0)
  f.m.cpu.a(0) = 0x6000;
  test::Poke(f.m, 0x6000, {0x4000});
  RunInstructions(f.m, 1, nullptr);
  EXPECT_EQ(test::PeekWord(f.m, 0x6000), 0x8000u);
  EXPECT_EQ(GetSR(f.m.cpu) & 0x1F, kN | kV);
}

TEST(Shift, MemoryFormAtAnOddAddressIsAnAddressError) {
  FlatFixture f;
  f.Load({0xE2D0});  // LSR (A0)
  f.m.cpu.a(0) = 0x6001;
  RunInstructions(f.m, 1, nullptr);
  EXPECT_EQ(f.VectorTaken(), kVectorAddressError);
}

}  // namespace
}  // namespace pellux
