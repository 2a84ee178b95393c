// What each port stores, returns and triggers.
#include "machine/ports.h"

#include <gtest/gtest.h>

#include <array>
#include <bitset>

#include "machine/memory_bus.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

class Ports : public ::testing::Test {
 protected:
  Ports() : m(*f_.calc) {}
  test::CalculatorFixture f_;
  Calculator& m;
};

TEST_F(Ports, WritesStoreTheirMaskedValue) {
  struct Case {
    unsigned port;
    std::uint8_t written, stored;
  };
  const Case cases[] = {
      {0x00, 0xFF, 0xA4}, {0x00, 0x00, 0x04}, {0x01, 0xFF, 0x05}, {0x0C, 0xFF, 0xEF},
      {0x0E, 0xFF, 0x03}, {0x15, 0xFF, 0x9F}, {0x18, 0xFF, 0x03}, {0x19, 0x5A, 0x5A},
  };
  for (const Case& c : cases) {
    PortWrite(m, 0x600000 + c.port, c.written);
    EXPECT_EQ(m.ports[c.port], c.stored) << std::hex << c.port;
  }
}

TEST_F(Ports, PortsWithoutWriteEffectKeepTheirBytes) {
  for (const unsigned n : {0x02u, 0x03u, 0x0Fu, 0x12u, 0x16u, 0x1Au, 0x1Bu, 0x1Cu, 0x1Fu}) {
    const std::uint8_t before = m.ports[n];
    PortWrite(m, 0x600000 + n, static_cast<std::uint8_t>(~before));
    EXPECT_EQ(m.ports[n], before) << std::hex << n;
  }
}

TEST_F(Ports, ContrastPortAlwaysReads0x40) {
  EXPECT_EQ(PortRead(m, 0x60000D), 0x40);
  PortWrite(m, 0x60000D, 0x12);
  EXPECT_EQ(PortRead(m, 0x60000D), 0x40);
  m.ports[0x0D] = 0x77;  // whatever got there, a read puts 0x40 back
  EXPECT_EQ(PortRead(m, 0x60000D), 0x77);
  EXPECT_EQ(PortRead(m, 0x60000D), 0x40);
}

TEST_F(Ports, LcdBaseFromPorts0x10And0x11) {
  WriteWord(m, 0x600010, 0x1234);
  EXPECT_EQ(m.lcdBase, 0x91A0u);
  EXPECT_EQ(m.ports[0x10], 0x14) << "the port bytes themselves do not change";
  EXPECT_EQ(m.ports[0x11], 0x01);
  PortWrite(m, 0x600011, 0xFF);
  EXPECT_EQ(m.lcdBase, 0x12u << 11 | 0xFFu << 3);
  PortWrite(m, 0x600010, 0xFF);
  EXPECT_EQ(m.lcdBase, 0x7FFF8u);
}

TEST_F(Ports, TimerCountWriteSetsTheReloadToo) {
  PortWrite(m, 0x600017, 0xF0);
  EXPECT_EQ(m.ports[port::kTimerCount], 0xF0);
  EXPECT_EQ(m.timerReload, 0xF0u);
}

TEST_F(Ports, LowPowerPortStopsAndNarrowsTheWakeMask) {
  m.cpu.runState = RunState::Running;
  PortWrite(m, 0x600005, 0x10);
  EXPECT_EQ(m.cpu.runState, RunState::StopRequest);
  EXPECT_EQ(m.wakeMask, 0x30u);
  EXPECT_EQ(m.ports[port::kLowPower], 0x01) << "the port byte is unchanged";
  PortWrite(m, 0x600005, 0xFF);
  EXPECT_EQ(m.wakeMask, 0x3Fu);
}

TEST_F(Ports, KeyboardPortFollowsTheSelectedRows) {
  m.keyMatrix[0] = 0xFE;  // row 0, column 0 down
  m.keyMatrix[3] = 0xDF;  // row 3, column 5 down
  m.keyMatrix[9] = 0x7F;  // row 9, column 7 down
  struct Case {
    std::uint8_t highRows, rows, columns;
  };
  const Case cases[] = {
      {0x03, 0xFF, 0xFF},  // nothing selected
      {0x03, 0xFE, 0xFE},  // row 0
      {0x03, 0xF6, 0xDE},  // rows 0 and 3
      {0x01, 0xFF, 0x7F},  // row 9
      {0x02, 0xFF, 0xFF},  // row 8, no key down
      {0x00, 0x00, 0x5E},  // every row
  };
  for (const Case& c : cases) {
    PortWrite(m, 0x600018, c.highRows);
    PortWrite(m, 0x600019, c.rows);
    EXPECT_EQ(m.ports[port::kKeyColumns], c.columns) << int(c.highRows) << " " << int(c.rows);
  }
  // A key change is seen only at the next row select.
  m.keyMatrix[0] = 0xFF;
  EXPECT_EQ(m.ports[port::kKeyColumns], 0x5E);
  PortWrite(m, 0x600019, 0x00);
  EXPECT_EQ(m.ports[port::kKeyColumns], 0x5F);
  PortWrite(m, 0x60001B, 0x00);
  EXPECT_EQ(m.ports[port::kKeyColumns], 0x5F) << "port 0x1B is read-only";
}

TEST_F(Ports, WritesAt0x700000AndAboveAreDropped) {
  PortWrite(m, 0x700015, 0x01);
  PortWrite(m, 0x900015, 0x01);
  EXPECT_EQ(m.ports[port::kTimerControl], 0x00);
  EXPECT_EQ(PortRead(m, 0x700015), 0x00);
  PortWrite(m, 0x600035, 0x01);  // 0x600035 is port 0x15 again
  EXPECT_EQ(PortRead(m, 0x700015), 0x01);
}

// The bytes a saved state may hold in each port are exactly those the
// machine can leave there: the start values, whatever any write of any port
// leaves in every port, the ON key, the key columns of a selected row, and
// the count of the programmable timer (which runs through every byte from
// the reload a write sets).
TEST_F(Ports, ASavedStateMayHoldExactlyWhatThePortsCanHold) {
  std::array<std::bitset<256>, kPortCount> reached;
  const auto record = [&] {
    for (unsigned n = 0; n < kPortCount; ++n) reached[n].set(m.ports[n]);
  };
  record();
  for (unsigned written = 0; written < kPortCount; ++written) {
    for (unsigned value = 0; value < 256; ++value) {
      m.ports = kPortStartValues;
      PortWrite(m, 0x600000 + written, static_cast<std::uint8_t>(value));
      record();
    }
  }
  m.ports = kPortStartValues;
  m.KeyDown(kOnKeyCode);
  record();
  m.KeyUp(kOnKeyCode);
  for (unsigned columns = 0; columns < 256; ++columns) {
    m.ReleaseAllKeys();
    for (unsigned bit = 0; bit < 8; ++bit) {
      if (!(columns & (1u << bit))) m.KeyDown(bit);  // row 0
    }
    PortWrite(m, 0x600019, 0xFE);
    record();
  }
  // Port 0x0F holds the byte the link last received, any byte; that is the
  // link chip's to show.
  reached[0x0F].set();
  // Port 0x0D shows the link chip's status: error, transmit empty, receive
  // full and activity come and go as the cable's bytes do, in any mix.
  for (unsigned status = 0; status < 256; ++status) {
    if (!(status & ~0xE8u)) reached[0x0D].set(status);
  }

  for (unsigned n = 0; n < kPortCount; ++n) {
    for (unsigned value = 0; value < 256; ++value) {
      EXPECT_EQ(PortCanHold(n, static_cast<std::uint8_t>(value)), reached[n].test(value))
          << "port " << n << " holding " << value;
    }
  }
}

}  // namespace
}  // namespace pellux
