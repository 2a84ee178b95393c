// The key matrix, the ON key and the bursts that follow a release. The
// machine runs NOPs here; a handler that scans the matrix is in sleep_test.cpp.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>

#include "machine/memory_bus.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::CalculatorFixture;
using test::LevelHandler;
using test::NopRom;
using test::RomBuilder;

constexpr std::uint32_t kMain = RomBuilder::kDefaultPc;
constexpr std::uint32_t kBurstBytes = 300 * 2;  // one burst of NOPs

class Keyboard : public ::testing::Test {
 protected:
  Keyboard() : f_(NopRom()), m(*f_.calc) {}

  // As if the handler entered by a key press had returned.
  void BackToMain() {
    m.cpu.pc = kMain;
    m.cpu.intMask = 0;
    m.cpu.pendingInts = 0;
  }

  CalculatorFixture f_;
  Calculator& m;
};

TEST(KeyboardPress, ClearsTheKeysBitAndRaisesLevel2) {
  struct Case {
    unsigned code, row;
    std::uint8_t rowByte;
  };
  const Case cases[] = {{0, 0, 0xFE}, {13, 1, 0xDF}, {63, 7, 0x7F}, {64, 8, 0xFE}, {79, 9, 0x7F}};
  for (const Case& c : cases) {
    CalculatorFixture f(NopRom());
    Calculator& m = *f.calc;
    const std::uint32_t sp = m.cpu.a(7);
    EXPECT_EQ(m.KeyDown(c.code), 1u) << c.code;
    for (unsigned row = 0; row < kKeyRows; ++row) {
      EXPECT_EQ(m.keyMatrix[row], row == c.row ? c.rowByte : 0xFF) << c.code << " row " << row;
    }
    EXPECT_EQ(m.anyKeyDown, 1u);
    EXPECT_EQ(m.cpu.pc, LevelHandler(2)) << c.code;
    EXPECT_EQ(m.cpu.intMask, 2);
    EXPECT_EQ(m.cpu.a(7), sp - 6);

    // The columns port learns of it only when a row select is written.
    EXPECT_EQ(m.ports[port::kKeyColumns], 0xFF);
    if (c.row < 8) {
      PortWrite(m, 0x600019, static_cast<std::uint8_t>(~(1u << c.row)));
    } else {
      PortWrite(m, 0x600018, static_cast<std::uint8_t>(~(1u << (c.row - 8))));
    }
    EXPECT_EQ(m.ports[port::kKeyColumns], c.rowByte) << c.code;
  }
}

TEST_F(Keyboard, PressAnswersWhetherTheKeyboardMayWake) {
  m.wakeMask = 0x30;  // as after port 0x600005 was written 0x10
  EXPECT_EQ(m.KeyDown(20), 0u);
  EXPECT_EQ(m.cpu.pc, LevelHandler(2)) << "the interrupt is raised all the same";
  EXPECT_EQ(m.keyMatrix[2], 0xEF);
}

TEST_F(Keyboard, PressingAKeyTwiceRaisesTheInterruptTwice) {
  const std::uint32_t sp = m.cpu.a(7);
  m.KeyDown(9);
  m.KeyDown(9);
  EXPECT_EQ(m.keyMatrix[1], 0xFD);
  EXPECT_EQ(m.cpu.a(7), sp - 6) << "the first press entered the handler";
  EXPECT_EQ(m.cpu.pendingInts, 1u << 2) << "the second waits under the handler's mask";
}

TEST_F(Keyboard, OnKeyUsesPort0x1AAndLevel6) {
  m.wakeMask = 0x20;
  EXPECT_EQ(m.KeyDown(kOnKeyCode), 1u) << "pressing ON always asks to run";
  EXPECT_EQ(m.ports[port::kOnKey], 0x14);
  EXPECT_EQ(m.cpu.pc, LevelHandler(6));
  EXPECT_EQ(m.cpu.intMask, 6);
  EXPECT_EQ(m.anyKeyDown, 0u);
  for (const auto row : m.keyMatrix) EXPECT_EQ(row, 0xFF);

  const CpuState before = m.cpu;
  EXPECT_EQ(m.KeyUp(kOnKeyCode), 0u);
  EXPECT_EQ(m.ports[port::kOnKey], 0x16);
  EXPECT_EQ(m.cpu.pc, before.pc) << "releasing ON never runs the processor";
  EXPECT_EQ(m.cpu.pendingInts, before.pendingInts);
  EXPECT_EQ(m.cpu.a(7), before.a(7));
}

// The host key table yields only 0..79 and 128; anything else is ignored
// rather than reaching past the matrix.
TEST_F(Keyboard, CodesThatNameNoKeyAreIgnored) {
  m.KeyDown(5);
  BackToMain();
  const auto matrix = m.keyMatrix;
  const auto ports = m.ports;
  const std::uint32_t reload = m.timerReload, ticks = m.tickCount, lcdBase = m.lcdBase, wakeMask = m.wakeMask;
  for (const unsigned code : {80u, 127u, 129u, 255u, 256u + 13u, 1000u, UINT_MAX}) {
    EXPECT_EQ(m.KeyDown(code), 0u) << code;
    EXPECT_EQ(m.KeyUp(code), 0u) << code;
  }
  EXPECT_EQ(m.keyMatrix, matrix);
  EXPECT_EQ(m.anyKeyDown, 1u);
  EXPECT_EQ(m.ports, ports);
  EXPECT_EQ(m.cpu.pc, kMain);
  EXPECT_EQ(m.cpu.pendingInts, 0);
  EXPECT_EQ(m.timerReload, reload);
  EXPECT_EQ(m.tickCount, ticks);
  EXPECT_EQ(m.lcdBase, lcdBase);
  EXPECT_EQ(m.wakeMask, wakeMask);
}

TEST_F(Keyboard, ReleasingAKeyThatIsNotDownDoesNothing) {
  EXPECT_EQ(m.KeyUp(13), 0u);
  m.KeyDown(14);
  BackToMain();
  EXPECT_EQ(m.KeyUp(13), 0u);
  EXPECT_EQ(m.cpu.pc, kMain) << "no bursts ran";
  EXPECT_EQ(m.cpu.pendingInts, 0);
  EXPECT_EQ(m.keyMatrix[1], 0xBF);
  EXPECT_EQ(m.anyKeyDown, 1u);
}

// Ten level-1 requests, each followed by 300 instructions: the first enters
// the handler, the other nine wait under its mask while the bursts run on.
TEST_F(Keyboard, ReleaseRunsTenBurstsAfterLevel1) {
  m.KeyDown(13);
  m.KeyDown(70);
  BackToMain();
  const std::uint32_t sp = m.cpu.a(7);
  EXPECT_EQ(m.KeyUp(13), 1u);
  EXPECT_EQ(m.keyMatrix[1], 0xFF);
  EXPECT_EQ(m.anyKeyDown, 1u) << "key 70 is still down";
  EXPECT_EQ(m.cpu.pc, LevelHandler(1) + 10 * kBurstBytes);
  EXPECT_EQ(m.cpu.a(7), sp - 6);
  EXPECT_EQ(m.cpu.intMask, 1);
  EXPECT_EQ(m.cpu.pendingInts, 1u << 1);

  EXPECT_EQ(m.KeyUp(70), 1u);
  EXPECT_EQ(m.anyKeyDown, 0u);
  EXPECT_EQ(m.cpu.pc, LevelHandler(1) + 20 * kBurstBytes);
}

TEST_F(Keyboard, BreakpointEndsTheReleaseBurstsAtOnce) {
  m.KeyDown(13);
  BackToMain();
  const std::uint32_t breakpoint = LevelHandler(1) + kBurstBytes + 100;  // in the second burst
  m.breakpoints.Toggle(breakpoint);
  // Running on into the other eight bursts would end on a breakpoint result and answer 0.
  EXPECT_EQ(m.KeyUp(13), 1u);
  EXPECT_EQ(m.cpu.pc, breakpoint);
}

TEST_F(Keyboard, ReleaseAllKeys) {
  m.KeyDown(kOnKeyCode);
  BackToMain();
  EXPECT_EQ(m.ReleaseAllKeys(), 0u) << "no matrix key down: nothing runs";
  EXPECT_EQ(m.ports[port::kOnKey], 0x16);
  EXPECT_EQ(m.cpu.pc, kMain);

  m.KeyDown(0);
  m.KeyDown(kOnKeyCode);
  m.KeyDown(79);
  BackToMain();
  EXPECT_EQ(m.ReleaseAllKeys(), 1u);
  EXPECT_EQ(m.ports[port::kOnKey], 0x16);
  for (const auto row : m.keyMatrix) EXPECT_EQ(row, 0xFF);
  EXPECT_EQ(m.anyKeyDown, 0u);
  EXPECT_EQ(m.cpu.pc, LevelHandler(1) + 10 * kBurstBytes);
}

}  // namespace
}  // namespace pellux
