// The link port's chip: what its four ports read and take, the bytes'
// time on the wire, the level-4 interrupt on each condition, overruns,
// time-outs and resets, and the processor's view: handlers, sleep and wake.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "debugger/calculator_target.h"
#include "machine/driver.h"
#include "machine/memory_bus.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::CalculatorFixture;
using test::LevelHandler;
using test::NopRom;
using test::RomBuilder;
using namespace test::asm68k;

constexpr std::uint32_t kMain = RomBuilder::kDefaultPc;
constexpr unsigned kControl = 0x0C;
constexpr unsigned kStatus = 0x0D;
constexpr unsigned kLines = 0x0E;
constexpr unsigned kData = 0x0F;
constexpr unsigned kLevel4 = 1u << 4;


// The level-4 handler of the processor-view tests: the byte received goes
// to 0x5000, and D7 counts the entries.
RomBuilder& ReadingHandler(RomBuilder& rom) {
  return rom.Code(LevelHandler(4), {kMoveByteAbsToAbs, 0x0060, 0x000F, 0x0000, 0x5000, AddqOne(7), kRte});
}

// A port access as an instruction makes it, then what the machine does
// before the next instruction.
void Between(Calculator& m) {
  m.cpu.runState = RunState::Running;
  AdvanceLink(m, 0);
}
std::uint8_t Read(Calculator& m, unsigned port) {
  const std::uint8_t value = PortRead(m, 0x600000 + port);
  Between(m);
  return value;
}
void Write(Calculator& m, unsigned port, std::uint8_t value) {
  PortWrite(m, 0x600000 + port, value);
  Between(m);
}

// The levels requested since the last call, with the mask at 7 so that
// every request waits.
unsigned TakeRequests(Calculator& m) { return std::exchange(m.cpu.pendingInts, 0); }

// A machine of NOPs with the mask at 7, its requests read by TakeRequests.
struct MaskedMachine {
  MaskedMachine() : m(*f.calc) { m.cpu.intMask = 7; }
  CalculatorFixture f{NopRom()};
  Calculator& m;
};

class LinkPortTest : public ::testing::Test {
 protected:
  LinkPortTest() : m(machine_.m) {}
  MaskedMachine machine_;
  Calculator& m;
};

TEST(LinkPort, StartsAsTheIdlePortAndRequestsNothing) {
  RomBuilder rom = NopRom();
  rom.Code(LevelHandler(4), {AddqOne(4), kRte});
  CalculatorFixture f(rom);
  Calculator& m = *f.calc;
  const std::uint8_t expected[] = {0x07, 0x40, 0x10, 0x00};
  for (unsigned port = kControl; port <= kData; ++port) {
    EXPECT_EQ(PeekByte(m, 0x600000 + port), expected[port - kControl]) << std::hex << port;
    EXPECT_EQ(PortRead(m, 0x600000 + port), expected[port - kControl]) << std::hex << port;
  }
  // Bits 0-2 of port 0x0C are set and the transmit buffer is empty, but
  // nothing began: no interrupt, ever.
  for (int slice = 0; slice < 20; ++slice) {
    f.clock.AdvanceTicks(1);
    m.RunSlice(f.clock);
  }
  EXPECT_EQ(m.cpu.d(4), 0u);
  EXPECT_EQ(LinkTime(m), m.cpu.instructionCount) << "one unit per instruction run";
  EXPECT_FALSE(LinkBusy(m));
}

// No cable, or a cable from which nothing comes: the ports read as the
// idle port always did (0x0C keeps v AND 0xEF, 0x0D reads 0x40, 0x0E keeps
// v AND 3, 0x0F reads 0), whatever time passes between the accesses.
TEST(LinkPort, UnpluggedAndSilentCablesReadAsTheIdlePort) {
  struct Access {
    bool write;
    unsigned port;
    std::uint8_t value;  // written, or expected
  };
  const Access accesses[] = {
      {false, kControl, 0x07}, {false, kStatus, 0x40},  {false, kLines, 0x10},   {false, kData, 0x00},
      {true, kControl, 0xFF},  {false, kControl, 0xEF}, {true, kData, 0x5A},     {false, kData, 0x00},
      {false, kStatus, 0x40},  {true, kStatus, 0x12},   {false, kStatus, 0x40},  {true, kLines, 0xFF},
      {false, kLines, 0x03},   {true, kLines, 0x01},    {false, kLines, 0x01},   {true, kLines, 0x00},
      {false, kLines, 0x00},   {true, kControl, 0x4D},  {false, kControl, 0x4D}, {false, kStatus, 0x40},
      {false, kData, 0x00},    {true, kControl, 0x00},  {false, kControl, 0x00}, {false, kStatus, 0x40},
  };
  for (const bool plugged : {false, true}) {
    MaskedMachine machine;
    Calculator& m = machine.m;
    PlugLink(m, plugged);
    for (const Access& a : accesses) {
      if (a.write) {
        Write(m, a.port, a.value);
      } else {
        EXPECT_EQ(Read(m, a.port), a.value) << "plugged " << plugged << " port " << std::hex << a.port;
      }
      AdvanceLink(m, kLinkByteUnits * 10);
    }
    EXPECT_FALSE(LinkTake(m)) << "nothing was sent";
  }
}

// The same accesses made by the processor while a driver passes the machine
// to a cable whose far end is silent.
TEST(LinkPort, AProgramSeesTheIdlePortThroughASilentCable) {
  RomBuilder rom = NopRom();
  // clang-format off
  rom.Code(kMain, {kMoveToSr, 0x2700,
                   kMoveByteAbsToAbs, 0x0060, 0x000D, 0x0000, 0x5000,
                   kMoveByteToAbs, 0x0041, 0x0060, 0x000C,  // engine off
                   kMoveByteToAbs, 0x005A, 0x0060, 0x000F,  // not sent
                   kMoveByteAbsToAbs, 0x0060, 0x000D, 0x0000, 0x5001,
                   kMoveByteAbsToAbs, 0x0060, 0x000F, 0x0000, 0x5002,
                   kMoveByteToAbs, 0x00FE, 0x0060, 0x000E,
                   kMoveByteAbsToAbs, 0x0060, 0x000E, 0x0000, 0x5003,
                   kMoveByteAbsToAbs, 0x0060, 0x000C, 0x0000, 0x5004,
                   kBraSelf});
  // clang-format on
  CalculatorFixture f(rom);
  f.clock.passTicks = 1;
  Driver driver(*f.calc, f.clock);
  struct Silent : LinkPeer {
    void Exchange(Calculator& m) override {
      ++passes;
      EXPECT_FALSE(LinkTake(m));
    }
    int passes = 0;
  } silent;
  driver.Plug(&silent);
  for (int pass = 0; pass < 10; ++pass) driver.Pass();
  EXPECT_EQ(silent.passes, 10);
  const std::vector<std::uint8_t> seen(f.calc->ram.begin() + 0x5000, f.calc->ram.begin() + 0x5005);
  EXPECT_EQ(seen, (std::vector<std::uint8_t>{0x40, 0x40, 0x00, 0x02, 0x41}));
}

// A byte written leaves the chip kLinkByteUnits later; one put on the wire
// is in the receive buffer kLinkByteUnits after it started to arrive. Port
// 0x0F then reads it, and reads it again until the next one comes.
TEST_F(LinkPortTest, BytesTakeTheirTimeOnTheWire) {
  PlugLink(m, true);
  Write(m, kData, 0x5A);
  EXPECT_EQ(Read(m, kStatus), 0x00) << "the transmit buffer is full";
  AdvanceLink(m, kLinkByteUnits - 1);
  EXPECT_FALSE(LinkTake(m));
  AdvanceLink(m, 1);
  EXPECT_EQ(LinkTake(m), 0x5A);
  EXPECT_EQ(Read(m, kStatus), 0x40);

  ASSERT_TRUE(LinkPut(m, 0xA7));
  ASSERT_TRUE(LinkPut(m, 0x3C));
  Between(m);
  EXPECT_EQ(Read(m, kStatus), 0x48) << "a byte arrives";
  AdvanceLink(m, kLinkByteUnits - 1);
  EXPECT_EQ(Read(m, kStatus), 0x48);
  EXPECT_EQ(PeekByte(m, 0x60000F), 0x00);
  AdvanceLink(m, 1);
  EXPECT_EQ(PeekByte(m, 0x60000D), 0x60) << "a look changes nothing";
  EXPECT_EQ(PeekByte(m, 0x60000F), 0xA7);
  EXPECT_EQ(Read(m, kStatus), 0x60) << "received; the next waits for the buffer";
  EXPECT_EQ(Read(m, kData), 0xA7);
  EXPECT_EQ(Read(m, kStatus), 0x48) << "the next one starts to arrive";
  EXPECT_EQ(Read(m, kData), 0xA7) << "the last byte again";
  AdvanceLink(m, kLinkByteUnits);
  EXPECT_EQ(Read(m, kData), 0x3C);
  EXPECT_EQ(Read(m, kData), 0x3C);
  EXPECT_EQ(Read(m, kStatus), 0x40);
}

// Time is counted in instructions: a byte written by an instruction leaves
// after kLinkByteUnits more, exactly, however the run slices are cut.
TEST(LinkPort, AWrittenByteLeavesAfterExactlyItsUnitsOfInstructions) {
  for (const std::uint32_t nops : {kLinkByteUnits - 2, kLinkByteUnits - 1}) {
    RomBuilder rom = NopRom();
    // No interrupt (port 0x0C starts with bit 1 set): the STOP stays asleep.
    rom.Code(kMain, {kMoveByteToAbs, 0x0000, 0x0060, 0x000C, kMoveByteToAbs, 0x005A, 0x0060, 0x000F});
    rom.Code(kMain + 16 + 2 * nops, {kStop, 0x2700});
    CalculatorFixture f(rom);
    Calculator& m = *f.calc;
    PlugLink(m, true);
    EXPECT_EQ(m.RunSlice(f.clock), StopReason::Asleep);
    // The NOPs and the STOP run after the write.
    const bool sent = nops + 1 >= kLinkByteUnits;
    EXPECT_EQ(LinkTake(m).has_value(), sent) << nops << " NOPs";
    EXPECT_EQ(LinkTime(m), nops + 3);
  }
}

// The interrupt on each condition that begins while its bit is set in
// port 0x0C, and none while it is clear (the other three bits set, so that
// only its own decides).
TEST(LinkPort, EachConditionRequestsLevel4WhenItsBitIsSet) {
  struct Case {
    const char* what;
    std::uint8_t bit;
    std::function<void(Calculator&)> prepare;  // what leads up to it
    std::function<void(Calculator&)> begin;    // the moment it begins
    std::uint8_t together = 0;                 // conditions that begin with it
  };
  const auto nothing = [](Calculator&) {};
  const Case cases[] = {
      {"receive buffer full", 0x01,
       [](Calculator& m) {
         LinkPut(m, 0x11);
         Between(m);
       },
       [](Calculator& m) { AdvanceLink(m, kLinkByteUnits); }},
      {"transmit buffer empty", 0x02, [](Calculator& m) { Write(m, kData, 0x22); },
       [](Calculator& m) { AdvanceLink(m, kLinkByteUnits); }},
      {"activity: a byte starts to arrive", 0x04, nothing,
       [](Calculator& m) {
         LinkPut(m, 0x33);
         Between(m);
       }},
      {"activity: the other end holds a line low", 0x04, nothing,
       [](Calculator& m) {
         SetLinkPeerLines(m, link_line::kWhite);
         Between(m);
       }},
      {"error: a time-out", 0x08,
       [](Calculator& m) {
         PlugLink(m, false);
         Write(m, kData, 0x44);
         AdvanceLink(m, kLinkByteUnits + kLinkTimeoutUnits - 1);
       },
       [](Calculator& m) { AdvanceLink(m, 1); }, 0x02},
      {"error: a reset from the other end that loses a byte", 0x08,
       [](Calculator& m) {
         LinkPut(m, 0x55);
         Between(m);
       },
       [](Calculator& m) {
         ResetLinkFromPeer(m);
         Between(m);
       }},
  };
  for (const Case& c : cases) {
    for (const bool enabled : {true, false}) {
      MaskedMachine machine;
      Calculator& m = machine.m;
      PlugLink(m, true);
      Write(m, kControl, static_cast<std::uint8_t>(enabled ? c.bit : 0x0F & ~c.bit & ~c.together));
      c.prepare(m);
      TakeRequests(m);
      c.begin(m);
      EXPECT_EQ(TakeRequests(m), enabled ? kLevel4 : 0u) << c.what << (enabled ? "" : " (bit clear)");
    }
  }
}

// A condition that goes on holding asks nothing more; a write of port 0x0C
// with its bit 1 asks again; one condition held never hides another's
// start.
TEST_F(LinkPortTest, HeldConditionsAskOnlyWhenTheControlPortSetsTheirBit) {
  PlugLink(m, true);
  Write(m, kControl, 0x02);
  EXPECT_EQ(TakeRequests(m), kLevel4) << "the transmit buffer is empty";
  AdvanceLink(m, 10 * kLinkByteUnits);
  EXPECT_EQ(TakeRequests(m), 0u) << "still empty: nothing more";
  Write(m, kControl, 0x02);
  EXPECT_EQ(TakeRequests(m), kLevel4) << "the bit written again";
  Write(m, kControl, 0x01);
  EXPECT_EQ(TakeRequests(m), 0u) << "no byte received";

  // Receive full holds (unread) when the transmit buffer empties.
  Write(m, kControl, 0x03);
  TakeRequests(m);
  Write(m, kData, 0x44);
  LinkPut(m, 0x55);
  Between(m);
  AdvanceLink(m, kLinkByteUnits - 1);
  EXPECT_EQ(TakeRequests(m), 0u);
  AdvanceLink(m, 1);
  EXPECT_EQ(TakeRequests(m), kLevel4) << "both begin";
  Write(m, kData, 0x66);
  AdvanceLink(m, kLinkByteUnits);
  EXPECT_EQ(Read(m, kStatus), 0x60) << "the byte still waits";
  EXPECT_EQ(TakeRequests(m), kLevel4) << "the transmit buffer emptied again";
}

// A write while the transmit buffer is full is lost, and is no error.
TEST_F(LinkPortTest, AByteWrittenWhileTheBufferIsFullIsLost) {
  PlugLink(m, true);
  Write(m, kData, 0x11);
  Write(m, kData, 0x22);
  AdvanceLink(m, 4 * kLinkByteUnits);
  EXPECT_EQ(LinkTake(m), 0x11);
  EXPECT_FALSE(LinkTake(m));
  EXPECT_EQ(Read(m, kStatus), 0x40);
}

// A byte nobody takes: with time-outs on (bit 5 clear) it is dropped after
// kLinkTimeoutUnits of waiting and the error raised; with them off it waits
// for ever and goes when a cable comes.
TEST(LinkPort, TimeOuts) {
  for (const bool timeouts : {true, false}) {
    MaskedMachine machine;
    Calculator& m = machine.m;
    Write(m, kControl, timeouts ? 0x08 : 0x28);
    Write(m, kData, 0x77);
    AdvanceLink(m, kLinkByteUnits + kLinkTimeoutUnits - 1);
    EXPECT_EQ(Read(m, kStatus), 0x00) << "waiting";
    EXPECT_EQ(TakeRequests(m), 0u);
    AdvanceLink(m, 1);
    if (timeouts) {
      EXPECT_EQ(TakeRequests(m), kLevel4);
      EXPECT_EQ(Read(m, kStatus), 0xC0) << "dropped, with the error";
      EXPECT_EQ(Read(m, kStatus), 0x40) << "a read clears the error";
      PlugLink(m, true);
      AdvanceLink(m, kLinkByteUnits);
      EXPECT_FALSE(LinkTake(m));
    } else {
      AdvanceLink(m, 10 * kLinkTimeoutUnits);
      EXPECT_EQ(Read(m, kStatus), 0x00) << "still waiting";
      EXPECT_EQ(TakeRequests(m), 0u);
      PlugLink(m, true);
      Between(m);
      EXPECT_EQ(LinkTake(m), 0x77);
      EXPECT_EQ(Read(m, kStatus), 0x40);
    }
  }
}

// The other end pulses both lines low: the bytes in flight here and those
// still on the cable towards us are lost; with the engine on, the error is
// raised, but a reset that loses nothing is no error. This end's own pulse
// is kept for the other end until it asks.
TEST(LinkPort, ResetPulses) {
  for (const bool engineOn : {true, false}) {
    MaskedMachine machine;
    Calculator& m = machine.m;
    PlugLink(m, true);
    Write(m, kControl, 0x08);
    LinkPut(m, 0x01);
    LinkPut(m, 0x02);
    Between(m);
    AdvanceLink(m, kLinkByteUnits);  // 0x01 received, 0x02 waits on the cable
    Write(m, kData, 0x99);
    if (!engineOn) Write(m, kControl, 0x48);  // drops the bytes itself
    TakeRequests(m);
    ResetLinkFromPeer(m);
    Between(m);
    EXPECT_EQ(Read(m, kStatus), engineOn ? 0xC0 : 0x40);
    EXPECT_EQ(TakeRequests(m), engineOn ? kLevel4 : 0u);
    EXPECT_EQ(LinkRoom(m), decltype(m.wire.toCalculator)::capacity()) << "the cable towards us is empty";
    Write(m, kControl, 0x08);
    AdvanceLink(m, 4 * kLinkByteUnits);
    EXPECT_FALSE(LinkTake(m)) << "the byte being sent is lost";
    EXPECT_EQ(Read(m, kStatus), 0x40) << "nothing arrives";
  }

  MaskedMachine machine;
  Calculator& m = machine.m;
  PlugLink(m, true);
  Write(m, kControl, 0x08);
  TakeRequests(m);
  ResetLinkFromPeer(m);
  Between(m);
  EXPECT_EQ(Read(m, kStatus), 0x40) << "an idle link loses nothing";
  EXPECT_EQ(TakeRequests(m), 0u);

  EXPECT_FALSE(TakeLinkReset(m));
  Write(m, kLines, 0x01);
  EXPECT_FALSE(TakeLinkReset(m)) << "one line is no reset";
  Write(m, kLines, 0x03);
  Write(m, kLines, 0x00);
  EXPECT_EQ(LinkLinesHeld(m), 0);
  EXPECT_TRUE(TakeLinkReset(m)) << "a pulse shorter than a pass is not missed";
  EXPECT_FALSE(TakeLinkReset(m));
}

// Writing bit 6 of port 0x0C stops the engine: the bytes in flight go, the
// error is cleared, and nothing moves until the bit is cleared again.
TEST_F(LinkPortTest, LinkDisableDropsWhatIsInFlight) {
  PlugLink(m, true);
  Write(m, kControl, 0x0F);
  LinkPut(m, 0x01);
  LinkPut(m, 0x02);
  LinkPut(m, 0x03);
  Between(m);
  AdvanceLink(m, kLinkByteUnits);
  Read(m, kData);  // 0x01 read, 0x02 arriving
  Write(m, kData, 0x99);
  EXPECT_EQ(PeekByte(m, 0x60000D), 0x08) << "sending, receiving";
  ResetLinkFromPeer(m);  // the error, and the cable's bytes gone
  EXPECT_EQ(PeekByte(m, 0x60000D), 0xC0);
  TakeRequests(m);

  Write(m, kControl, 0x40);
  EXPECT_EQ(Read(m, kStatus), 0x40) << "nothing in flight, no error";
  LinkPut(m, 0x04);
  Write(m, kData, 0x55);
  AdvanceLink(m, 4 * kLinkByteUnits);
  EXPECT_FALSE(LinkTake(m)) << "nothing is sent while disabled";
  EXPECT_EQ(Read(m, kStatus), 0x40) << "nothing is received";
  EXPECT_EQ(TakeRequests(m), 0u);

  Write(m, kControl, 0x01);
  EXPECT_EQ(Read(m, kStatus), 0x48) << "the byte on the cable comes now";
  AdvanceLink(m, kLinkByteUnits);
  EXPECT_EQ(TakeRequests(m), kLevel4);
  EXPECT_EQ(Read(m, kData), 0x04);
}

// Port 0x0E: this end's lines, written and read in bits 0-1; the other
// end's in bits 2-3, which also make the link active.
TEST_F(LinkPortTest, LinesOfBothEnds) {
  PlugLink(m, true);
  Write(m, kLines, 0x01);
  EXPECT_EQ(Read(m, kLines), 0x01);
  EXPECT_EQ(LinkLinesHeld(m), link_line::kRed);
  SetLinkPeerLines(m, link_line::kWhite);
  EXPECT_EQ(Read(m, kLines), 0x09);
  EXPECT_EQ(PeekByte(m, 0x60000E), 0x09);
  EXPECT_EQ(Read(m, kStatus), 0x48);
  SetLinkPeerLines(m, link_line::kBoth);
  EXPECT_EQ(Read(m, kLines), 0x0D);
  SetLinkPeerLines(m, 0);
  EXPECT_EQ(Read(m, kStatus), 0x40);
  PlugLink(m, false);
  EXPECT_EQ(Read(m, kLines), 0x01);
}

// The processor's view: the byte wakes its handler, which reads it.
TEST(LinkPort, TheHandlerReadsTheByteItWasCalledFor) {
  RomBuilder rom = NopRom();
  rom.Code(kMain, {kMoveByteToAbs, 0x0001, 0x0060, 0x000C, kBraSelf});
  ReadingHandler(rom);
  CalculatorFixture f(rom);
  Calculator& m = *f.calc;
  PlugLink(m, true);
  m.RunSlice(f.clock);
  ASSERT_TRUE(LinkPut(m, 0xA5));
  ASSERT_TRUE(LinkPut(m, 0x5A));
  m.RunSlice(f.clock);
  EXPECT_EQ(m.ram[0x5000], 0x5A);
  EXPECT_EQ(m.cpu.d(7), 2u);
  EXPECT_EQ(m.cpu.pc, kMain + 8);
  EXPECT_EQ(m.cpu.intMask, 0);
}

// A byte for a sleeping calculator: it wakes the low-power sleep of port
// 0x05 when the wake mask has bit 3 (level 4), and a STOP as any interrupt
// does; the handler then reads it.
TEST(LinkPort, AByteWakesASleepingProcessor) {
  struct Case {
    const char* what;
    std::vector<std::uint16_t> sleep;
    bool wakes;
  };
  const Case cases[] = {
      {"port 0x05 with wake bit 3", {kMoveToSr, 0x2700, kMoveByteToAbs, 0x001E, 0x0060, 0x0005}, true},
      {"port 0x05 without wake bit 3", {kMoveToSr, 0x2700, kMoveByteToAbs, 0x0016, 0x0060, 0x0005}, false},
      {"STOP", {kStop, 0x2000}, true},
  };
  for (const Case& c : cases) {
    RomBuilder rom = NopRom();
    // Interrupt on a byte received, sleep, then on: mask 0, count in D6.
    std::vector<std::uint16_t> program = {kMoveByteToAbs, 0x0001, 0x0060, 0x000C};
    program.insert(program.end(), c.sleep.begin(), c.sleep.end());
    program.insert(program.end(), {kMoveToSr, 0x2000, AddqOne(6), kBraSelf});
    std::uint32_t at = kMain;
    for (const std::uint16_t word : program) {
      rom.Code(at, {word});
      at += 2;
    }
    ReadingHandler(rom);
    CalculatorFixture f(rom);
    Calculator& m = *f.calc;
    PlugLink(m, true);
    ASSERT_EQ(m.RunSlice(f.clock), StopReason::Asleep) << c.what;
    LinkPut(m, 0xC3);
    // The first tick brings the byte (it takes kLinkByteUnits of the tick's
    // kLinkUnitsPerTick); the pass that it wakes runs the program on.
    std::optional<int> wokenAt;
    for (int pass = 0; pass < 5 && !wokenAt; ++pass) {
      f.clock.AdvanceTicks(1);
      if (m.IdleCatchUp(f.clock) == StopReason::None) wokenAt = pass;
    }
    EXPECT_EQ(wokenAt, c.wakes ? std::optional<int>(0) : std::nullopt) << c.what;
    EXPECT_EQ(m.ram[0x5000], c.wakes ? 0xC3 : 0x00) << c.what;
    EXPECT_EQ(m.cpu.d(7), c.wakes ? 1u : 0u) << c.what;
    EXPECT_EQ(m.cpu.d(6), c.wakes ? 1u : 0u) << c.what << ": on past the sleep";
    if (!c.wakes) {
      EXPECT_EQ(m.cpu.pendingInts, kLevel4) << c.what << ": requested all the same";
    }
  }
}

// The instruction that puts the processor to sleep can be the one after
// which a byte comes in: the interrupt it asks for keeps the processor
// awake, and the next slice runs the handler.
TEST(LinkPort, AByteThatComesInAsTheProcessorStopsKeepsItAwake) {
  RomBuilder rom = NopRom();
  // The byte takes kLinkByteUnits instructions to come in: NOPs, then STOP.
  rom.Code(kMain + 2 * (kLinkByteUnits - 1), {kStop, 0x2000, kBraSelf});
  ReadingHandler(rom);
  CalculatorFixture f(rom);
  Calculator& m = *f.calc;
  Write(m, kControl, 0x01);  // interrupt on a byte received only
  PlugLink(m, true);
  ASSERT_TRUE(LinkPut(m, 0xC3));
  EXPECT_EQ(m.RunSlice(f.clock), StopReason::None);
  EXPECT_EQ(m.cpu.instructionCount, kLinkByteUnits) << "the slice ends at the STOP";
  m.RunSlice(f.clock);
  EXPECT_EQ(m.ram[0x5000], 0xC3);
  EXPECT_EQ(m.cpu.d(7), 1u);
}

// While the processor sleeps, each tick moves the link by kLinkUnitsPerTick;
// the bursts after key releases run instructions and move it by those; a
// debugger's step moves no time but its interrupt is asked for.
TEST(LinkPort, WhatMovesLinkTime) {
  RomBuilder rom = NopRom();
  rom.Code(kMain, {kStop, 0x2700, kMoveByteToAbs, 0x0002, 0x0060, 0x000C});
  CalculatorFixture f(rom);
  Calculator& m = *f.calc;
  EXPECT_EQ(m.RunSlice(f.clock), StopReason::Asleep);
  EXPECT_EQ(LinkTime(m), 1u);
  f.clock.AdvanceTicks(3);
  m.IdleCatchUp(f.clock);
  EXPECT_EQ(LinkTime(m), 1u + 3 * kLinkUnitsPerTick);

  m.cpu.intMask = 0;
  CalculatorTarget target(m);
  target.RunOne();
  EXPECT_EQ(LinkTime(m), 1u + 3 * kLinkUnitsPerTick) << "a step moves no time";
  EXPECT_EQ(m.cpu.pc, LevelHandler(4)) << "but the control port's request is answered";

  const std::uint64_t before = m.cpu.instructionCount;
  m.KeyDown(13);
  m.KeyUp(13);
  EXPECT_EQ(LinkTime(m), 1u + 3 * kLinkUnitsPerTick + (m.cpu.instructionCount - before));
}

}  // namespace
}  // namespace pellux
