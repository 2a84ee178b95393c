// Addressing modes: addresses, operand reads, brief extension words, refusals.
#include <gtest/gtest.h>

#include "cpu/effective_address.h"
#include "cpu/flat_machine.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::Poke;

class EffectiveAddress : public ::testing::Test {
 protected:
  // Sets the opcode's register field and puts the extension words at pc.
  void Prepare(unsigned reg, std::initializer_list<std::uint16_t> extension) {
    m.cpu = CpuState{};
    m.cpu.runState = RunState::Running;
    m.cpu.opcode = static_cast<std::uint16_t>(reg);
    m.cpu.pc = kPc;
    Poke(m, kPc, extension);
  }
  static constexpr std::uint32_t kPc = 0x1000;
  FlatMachine m;
};

TEST_F(EffectiveAddress, ImmediateByteIgnoresTheHighByte) {
  Prepare(4, {0x1280});
  std::uint32_t value;
  ASSERT_TRUE(ReadEaByte(m, 7, value));
  EXPECT_EQ(value, 0xFFFFFF80u);
  EXPECT_EQ(m.cpu.pc, kPc + 2);
}

TEST_F(EffectiveAddress, ByteStepsKeepA7Even) {
  struct Case {
    unsigned reg, mode;
    std::uint32_t after;
  };
  const Case cases[] = {{7, 3, 0x2002}, {7, 4, 0x1FFE}, {6, 3, 0x2001}, {6, 4, 0x1FFF}};
  for (const Case& c : cases) {
    Prepare(c.reg, {});
    m.cpu.a(c.reg) = 0x2000;
    std::uint32_t address;
    ASSERT_TRUE(EaAddressByte(m, c.mode, address));
    EXPECT_EQ(m.cpu.a(c.reg), c.after) << c.reg << " mode " << c.mode;
    EXPECT_EQ(address, c.mode == 3 ? 0x2000u : c.after);
  }
}

TEST_F(EffectiveAddress, PcIndexedWithBriefExtensionWords) {
  struct Case {
    std::uint16_t ext;
    std::uint32_t offset;  // from the address of the extension word
  };
  const std::uint32_t a7 = 0x00123456, d7 = 0x00018000, d0 = 0x00000010;
  const Case cases[] = {
      {0xF802, a7 + 2},          // A7.l + 2
      {0x77FE, 0xFFFF8000 - 2},  // D7.w, sign-extended
      {0x7FFE, d7 - 2},          // D7.l
      {0x0700, d0},              // scale bits are ignored
      {0x0000, d0},
  };
  for (const Case& c : cases) {
    Prepare(3, {c.ext});
    m.cpu.a(7) = a7;
    m.cpu.d(7) = d7;
    m.cpu.d(0) = d0;
    std::uint32_t address;
    ASSERT_TRUE(EaControlAddress(m, 7, address));
    EXPECT_EQ(address, kPc + c.offset) << std::hex << c.ext;
  }
}

TEST_F(EffectiveAddress, AbsoluteShortReachesTheTopOfTheBus) {
  Prepare(0, {0xFFFE});
  Poke(m, 0xFFFFFE, {0xCAFE});
  std::uint32_t value;
  ASSERT_TRUE(ReadEaWord(m, 7, value));
  EXPECT_EQ(value, 0xFFFFCAFEu);
}

TEST_F(EffectiveAddress, WhichOperationAcceptsWhichMode) {
  enum Op { kAlterable, kControl, kData, kDataAny };
  auto accepts = [&](Op op, unsigned mode, unsigned reg) {
    Prepare(reg, {0x0000, 0x0000});
    m.cpu.a(reg) = 0x3000;
    std::uint32_t out;
    switch (op) {
      case kAlterable:
        return EaAddressWord(m, mode, out);
      case kControl:
        return EaControlAddress(m, mode, out);
      case kData:
        return ReadEaWord(m, mode, out);
      case kDataAny:
        return ReadEaWordAny(m, mode, out);
    }
    return false;
  };
  // Rows: modes 0-6, then mode 7 with registers 0-7.
  const char* expected[] = {
      //  0123456 7/0..7
      "0011111" "11000000",  // memory alterable
      "0010011" "11110000",  // control
      "1011111" "11111000",  // data
      "1111111" "11111000",  // data, An admitted
  };
  for (int op = 0; op < 4; ++op) {
    for (unsigned field = 0; field < 15; ++field) {
      const unsigned mode = field < 7 ? field : 7, reg = field < 7 ? 1 : field - 7;
      const bool accepted = accepts(static_cast<Op>(op), mode, reg);
      EXPECT_EQ(accepted, expected[op][field] == '1') << "operation " << op << " mode " << mode << " reg " << reg;
      EXPECT_EQ(m.cpu.runState == RunState::IllegalOp, !accepted);
    }
  }
}

TEST_F(EffectiveAddress, RefusedModeLeavesNoTrace) {
  Prepare(2, {0x1234});
  m.cpu.a(2) = 0x4000;
  std::uint32_t address;
  EXPECT_FALSE(EaControlAddress(m, 3, address));  // (A2)+ is not a control mode
  EXPECT_EQ(m.cpu.a(2), 0x4000u);
  EXPECT_FALSE(EaControlAddress(m, 4, address));
  EXPECT_EQ(m.cpu.a(2), 0x4000u);
  EXPECT_EQ(m.cpu.pc, kPc);
}

TEST_F(EffectiveAddress, AnyReadsTakeTheAddressRegister) {
  Prepare(3, {});
  m.cpu.a(3) = 0x12348765;
  std::uint32_t value;
  ASSERT_TRUE(ReadEaWordAny(m, 1, value));
  EXPECT_EQ(value, 0xFFFF8765u);
  ASSERT_TRUE(ReadEaLongAny(m, 1, value));
  EXPECT_EQ(value, 0x12348765u);
  EXPECT_FALSE(ReadEaByte(m, 1, value));
}

TEST_F(EffectiveAddress, OddOperandAddressFaultsAfterTheStep) {
  Prepare(1, {});
  m.cpu.a(1) = 0x2001;
  std::uint32_t value;
  ASSERT_TRUE(ReadEaWord(m, 3, value));
  EXPECT_EQ(value, 1u);
  EXPECT_EQ(m.cpu.runState, RunState::AddressFault);
  EXPECT_EQ(m.cpu.a(1), 0x2003u);
}

}  // namespace
}  // namespace pellux
