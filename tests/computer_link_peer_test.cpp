// The computer's side on the machine's cable: bytes both ways as far as the
// cable takes them, the calculator's reset pulse, another machine at the end
// of the cable. The machine's processor does not run here: the test plays
// the calculator's side of the front wall itself.
#include <gtest/gtest.h>

#include <vector>

#include "link/computer_link_peer.h"
#include "machine/calculator.h"
#include "machine/link_port.h"
#include "tests/scripted_calculator.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

std::vector<std::uint8_t> Sent(Calculator& m) {
  std::vector<std::uint8_t> bytes;
  while (!m.wire.toCalculator.empty()) bytes.push_back(*m.wire.toCalculator.Pop());
  return bytes;
}

void Answer(Calculator& m, std::initializer_list<std::uint8_t> bytes) {
  for (const std::uint8_t byte : bytes) m.wire.fromCalculator.Push(byte);
}

class ComputerLinkPeerTest : public ::testing::Test {
 protected:
  void SetUp() override { PlugLink(m_, true); }

  // A pass of the loop, the link time moved on first.
  void Exchange(std::uint64_t units = 1000) {
    m_.link.time += units;
    peer_.Exchange(m_);
  }

  Calculator m_{test::NopRom().bytes()};
  ComputerLinkPeer peer_;
};

TEST_F(ComputerLinkPeerTest, BytesGoAsTheCableTakesThemAndComeBack) {
  peer_.link().SendVariables({test::MakeVariable("main", "big", 1000)});
  Exchange();
  // VAR main\big: its header went whole.
  std::vector<std::uint8_t> sent = Sent(m_);
  ASSERT_EQ(sent.size(), 4u + 14u + 2u);
  EXPECT_EQ(sent[1], 0x06);
  // The calculator's ACK and CTS; the computer's ACK and data wait for room.
  Answer(m_, {0x88, 0x56, 0, 0, 0x88, 0x09, 0, 0});
  Exchange();
  EXPECT_EQ(m_.wire.toCalculator.count, m_.wire.toCalculator.capacity()) << "the cable is full";
  EXPECT_EQ(peer_.link().Progress().done, m_.wire.toCalculator.capacity() - 4 - 8);
  std::size_t total = Sent(m_).size();
  for (int pass = 0; pass < 10; ++pass) {
    Exchange();
    total += Sent(m_).size();
  }
  EXPECT_EQ(total, 4u + (4u + 4u + 1002u + 2u)) << "ACK, then the XDP whole";
  EXPECT_EQ(peer_.link().Progress().done, 1002u);
}

TEST_F(ComputerLinkPeerTest, ResetPulseWithoutErrEndsTheJob) {
  peer_.link().SendVariables({test::MakeVariable("main", "hello", 10)});
  Exchange();
  Sent(m_);
  // The calculator acknowledges in the pass it pulses: the pulse counts
  // first, the ACK still moves the job on, and no ERR follows.
  Answer(m_, {0x88, 0x56, 0, 0});
  m_.wire.resetPulsed = true;
  Exchange();
  EXPECT_FALSE(m_.wire.resetPulsed) << "taken";
  Exchange(ComputerLinkTimes{}.resetGrace);
  const std::vector<LinkEvent> events = peer_.link().TakeEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].message,
            "The calculator reset the link (sending main\\hello); it may be showing an error message.");
}

// A damaged packet: the calculator pulses, then asks for it again; both
// may come in one pass, and the pulse must count first.
TEST_F(ComputerLinkPeerTest, ResetPulseAndErrInOnePassGetThePacketAgain) {
  peer_.link().SendVariables({test::MakeVariable("main", "hello", 10)});
  Exchange();
  const std::vector<std::uint8_t> var = Sent(m_);
  m_.wire.resetPulsed = true;
  Answer(m_, {0x88, 0x5A, 0, 0});
  Exchange();
  EXPECT_EQ(Sent(m_), var);
  Exchange(2 * ComputerLinkTimes{}.resetGrace);
  EXPECT_TRUE(peer_.link().TakeEvents().empty());
  EXPECT_TRUE(peer_.link().Busy());
}

TEST_F(ComputerLinkPeerTest, AnotherMachineEndsTheJob) {
  peer_.link().SendVariables({test::MakeVariable("main", "hello", 10)});
  Exchange();
  Calculator other{test::NopRom().bytes()};
  PlugLink(other, true);
  other.link.time = m_.link.time + 1000;  // later, yet not the same calculator
  peer_.Exchange(other);
  const std::vector<LinkEvent> events = peer_.link().TakeEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].message, "The calculator went away: the machine was reset or replaced (sending main\\hello).");
  EXPECT_TRUE(other.wire.toCalculator.empty()) << "nothing of the old job goes to the new machine";
}

}  // namespace
}  // namespace pellux
