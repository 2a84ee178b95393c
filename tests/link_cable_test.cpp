// Two machines joined by the in-process cable, each driven by its own main
// loop, and the loop's hook for whatever is plugged into the link port.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/link_cable.h"
#include "machine/driver.h"
#include "machine/memory_bus.h"
#include "tests/link_programs.h"
#include "tests/machine_compare.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::CalculatorFixture;
using test::LevelHandler;
using test::NopRom;
using test::RomBuilder;
using namespace test::asm68k;

constexpr std::uint32_t kMain = test::kLinkMain;
constexpr std::uint32_t kInbox = test::kLinkInbox;
using test::InterruptDrivenRom;
using test::Inbox;

// Two machines, each in its own main loop on its own manual clock, one tick
// a pass, joined by the cable.
struct Pair {
  Pair(const RomBuilder& romA, const RomBuilder& romB) : a(romA), b(romB) {
    a.clock.passTicks = 1;
    b.clock.passTicks = 1;
    driverA = std::make_unique<Driver>(*a.calc, a.clock);
    driverB = std::make_unique<Driver>(*b.calc, b.clock);
    driverA->Plug(&cable.end(0));
    driverB->Plug(&cable.end(1));
  }
  void Pass() {
    driverA->Pass();
    driverB->Pass();
  }
  CalculatorFixture a, b;
  LinkCable cable;
  std::unique_ptr<Driver> driverA, driverB;
};

TEST(LinkCable, TwoMachinesTradeMessagesBothWaysThroughTheirHandlers) {
  const std::vector<std::uint8_t> fromA = test::LinkMessage(300, 7), fromB = test::LinkMessage(200, 13);
  struct Run {
    std::unique_ptr<Pair> pair;
    int passes = 0;
  };
  auto run = [&] {
    Run r{std::make_unique<Pair>(InterruptDrivenRom(fromA), InterruptDrivenRom(fromB))};
    Calculator& a = *r.pair->a.calc;
    Calculator& b = *r.pair->b.calc;
    while (r.passes < 2000 && (b.cpu.a(5) != kInbox + fromA.size() || a.cpu.a(5) != kInbox + fromB.size())) {
      r.pair->Pass();
      ++r.passes;
    }
    // A few more passes: nothing more arrives.
    for (int i = 0; i < 20; ++i) r.pair->Pass();
    return r;
  };
  const Run first = run();
  Calculator& a = *first.pair->a.calc;
  Calculator& b = *first.pair->b.calc;
  EXPECT_EQ(Inbox(b, fromA.size() + 1), [&] {
    auto expected = fromA;
    expected.push_back(0);
    return expected;
  }());
  EXPECT_EQ(Inbox(a, fromB.size() + 1), [&] {
    auto expected = fromB;
    expected.push_back(0);
    return expected;
  }());
  // Asleep between bytes, each machine wakes at the unit its byte comes: the
  // 300 bytes go at the wire's pace, kLinkByteUnits each, about 31 ticks.
  EXPECT_LT(first.passes, 300 * kLinkByteUnits / kLinkUnitsPerTick + 10);
  EXPECT_EQ(a.cpu.pc, kMain + 0x1E) << "asleep after its STOP";
  EXPECT_FALSE(LinkBusy(a));
  EXPECT_FALSE(LinkBusy(b));
  EXPECT_EQ(first.pair->cable.BytesInTransit(0) + first.pair->cable.BytesInTransit(1), 0u);

  // The same again, bit for bit.
  const Run second = run();
  EXPECT_EQ(second.passes, first.passes);
  EXPECT_EQ(test::MachineDifference(a, *second.pair->a.calc), "");
  EXPECT_EQ(test::MachineDifference(b, *second.pair->b.calc), "");
  EXPECT_EQ(LinkTime(a), LinkTime(*second.pair->a.calc));
  EXPECT_EQ(LinkTime(b), LinkTime(*second.pair->b.calc));
}

// A pulses both lines low: B's bytes in flight and those on the cable are
// lost, and B, with its engine on, takes the error interrupt. A sees
// nothing of its own pulse.
TEST(LinkCable, AResetPulseCrosses) {
  constexpr std::uint32_t kPulse = kMain + 2 * 3000;  // in A's third pass
  RomBuilder romA = NopRom();
  romA.Code(kPulse, {kMoveByteToAbs, 0x0003, 0x0060, 0x000E,  // both lines low
                     kMoveByteToAbs, 0x0000, 0x0060, 0x000E,  // and let go at once
                     kBraSelf});
  RomBuilder romB = NopRom();
  romB.Code(kMain, {kMoveByteToAbs, 0x0008, 0x0060, 0x000C, kBraSelf});  // the error interrupt only
  romB.Code(LevelHandler(4), {kMoveByteAbsToAbs, 0x0060, 0x000D, 0x0000, kInbox, AddqOne(7), kRte});
  Pair pair(romA, romB);
  Calculator& a = *pair.a.calc;
  Calculator& b = *pair.b.calc;
  pair.Pass();
  // Bytes on their way to B: one comes into its receive buffer, one waits.
  LinkPut(b, 0x41);
  LinkPut(b, 0x42);
  pair.Pass();
  EXPECT_EQ(PeekByte(b, 0x60000D), 0x60) << "received";
  pair.Pass();
  EXPECT_EQ(b.cpu.d(7), 0u);
  EXPECT_EQ(PeekByte(b, 0x60000D), 0xC0) << "the pulse came after B's pass: the error, the byte gone";
  pair.Pass();
  EXPECT_EQ(b.cpu.d(7), 1u);
  EXPECT_EQ(b.ram[kInbox], 0xC0);
  for (int i = 0; i < 10; ++i) pair.Pass();
  EXPECT_EQ(b.cpu.d(7), 1u);
  EXPECT_EQ(PeekByte(b, 0x60000D), 0x40) << "nothing more arrives";
  EXPECT_FALSE(LinkBusy(b));
  EXPECT_EQ(PeekByte(a, 0x60000D), 0x40);
  EXPECT_EQ(a.cpu.pc, kPulse + 16);
}

// The lines themselves cross: each end reads the other's in port 0x0E bits
// 2-3, after the passes that carry them.
TEST(LinkCable, LinesCross) {
  RomBuilder romA = NopRom();
  romA.Code(kMain, {kMoveByteToAbs, 0x0002, 0x0060, 0x000E, kBraSelf});
  Pair pair(romA, NopRom());
  pair.Pass();
  pair.Pass();
  EXPECT_EQ(PeekByte(*pair.b.calc, 0x60000E), 0x18) << "A's white line (bit 4 is as it started)";
  EXPECT_EQ(PeekByte(*pair.a.calc, 0x60000E), 0x02);
  EXPECT_EQ(PeekByte(*pair.b.calc, 0x60000D), 0x48) << "activity";
}

// The driver lets its peer trade with the machine after every pass, running
// or idle; a new machine keeps the cable; null unplugs it.
TEST(LinkCable, TheDriverHook) {
  struct Counting : LinkPeer {
    void Exchange(Calculator& m) override {
      ++calls;
      machine = &m;
    }
    int calls = 0;
    Calculator* machine = nullptr;
  } peer;
  RomBuilder rom = NopRom();
  rom.Code(kMain, {0x4E72, 0x2000, kBraSelf});
  CalculatorFixture f(rom);
  f.clock.passTicks = 1;
  Driver driver(*f.calc, f.clock);
  EXPECT_FALSE(LinkPlugged(*f.calc));
  driver.Plug(&peer);
  EXPECT_TRUE(LinkPlugged(*f.calc));
  driver.Pass();
  EXPECT_EQ(driver.mode(), Driver::Mode::Asleep);
  driver.Pass();
  EXPECT_EQ(peer.calls, 2) << "after a slice and after an idle pass";
  EXPECT_EQ(peer.machine, f.calc.get());

  Calculator other(rom.bytes());
  driver.Attach(other);
  EXPECT_TRUE(LinkPlugged(other));
  driver.Pass();
  EXPECT_EQ(peer.machine, &other);

  driver.Plug(nullptr);
  EXPECT_FALSE(LinkPlugged(other));
  driver.Pass();
  EXPECT_EQ(peer.calls, 3);
}

}  // namespace
}  // namespace pellux
