// The calculator's memory map, the flash command machine and write protection.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "machine/memory_bus.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

class MemoryBus : public ::testing::Test {
 protected:
  MemoryBus() : f_(test::RomBuilder().Byte(0x100, 0x12).Byte(0x101, 0x34).Byte(0x1FFFFF, 0x77)), m(*f_.calc) {
    m.cpu.runState = RunState::Running;
  }
  void Protect() { m.ports[port::kProtection] = 0x04; }

  test::CalculatorFixture f_;
  Calculator& m;
};

TEST_F(MemoryBus, ReadsAcrossTheMap) {
  m.ram[0x00001] = 0x80;
  m.ram[0x12344] = 0x80;
  m.ram[0x12345] = 0x01;
  m.ram[0x3FFFE] = 0xAB;
  m.ram[0x3FFFF] = 0xCD;
  const std::uint8_t flashAcross64K[] = {0x55, 0x66, 0x77, 0x88};
  std::memcpy(&m.rom[0xFFFE], flashAcross64K, 4);
  struct Case {
    const char* what;
    std::uint32_t (*read)(Calculator&, std::uint32_t);
    std::uint32_t address, expected;
  };
  const Case cases[] = {
      {"byte from RAM, sign-extended", ReadByte, 0x000001, 0xFFFFFF80},
      {"word from RAM, sign-extended", ReadWord, 0x012344, 0xFFFF8001},
      {"a RAM mirror", ReadWord, 0x1D2344, 0xFFFF8001},
      {"top byte of the address ignored", ReadWord, 0xFF012344, 0xFFFF8001},
      {"top byte ignored, byte", ReadByte, 0x80000001, 0xFFFFFF80},
      {"top byte ignored, long", ReadLong, 0x01012344, 0x80010000 | LoadBe16(&m.ram[0x12346])},
      {"top byte ignored, long wrapping at the end of RAM", ReadLong, 0xFF03FFFE, 0xABCD0000 | LoadBe16(&m.ram[0])},
      {"top byte ignored, flash", ReadWord, 0xAB400100, 0x1234},
      {"long wrapping at the end of RAM", ReadLong, 0x03FFFE, 0xABCD0000 | LoadBe16(&m.ram[0])},
      {"long wrapping at the end of the mirrors", ReadLong, 0x1FFFFE, 0xABCD0000},
      {"empty region", ReadWord, 0x240000, 0},
      {"empty region long", ReadLong, 0x3FFFFC, 0},
      {"flash", ReadWord, 0x400100, 0x1234},
      {"flash long", ReadLong, 0x400100, 0x12340000 | LoadBe16(&m.rom[0x102])},
      {"flash long across a 64 KB boundary", ReadLong, 0x40FFFE, 0x55667788},
      {"flash last byte", ReadByte, 0x5FFFFF, 0x77},
      {"port 0x00 byte", ReadByte, 0x600000, 0xFFFFFF84},
      {"port word", ReadWord, 0x600002, 0x1401},
      {"port mirror", ReadByte, 0xFFFFE0, 0xFFFFFF84},
      {"port 0x05 through the 0x700000 mirror", ReadByte, 0x700005, 0x01},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.read(m, c.address), c.expected) << c.what;
    EXPECT_EQ(m.cpu.runState, RunState::Running) << c.what;
  }
}

TEST_F(MemoryBus, ReadLongAcrossA64KBoundaryInsideRam) {
  m.ram[0x0FFFE] = 0x11;
  m.ram[0x0FFFF] = 0x22;
  m.ram[0x10000] = 0x33;
  m.ram[0x10001] = 0x44;
  m.ram[0x00000] = 0x99;
  // Split into two words at the 64 KB boundary; inside RAM that changes nothing.
  EXPECT_EQ(ReadLong(m, 0x00FFFE), 0x11223344u);
}

TEST_F(MemoryBus, OddWordAndLongAccessesFault) {
  m.ram[0x10] = 0x5A;
  m.ram[0x0F] = 0;
  m.ram[0x11] = 0x33;
  EXPECT_EQ(ReadByte(m, 0x000011), 0x33u);
  EXPECT_EQ(m.cpu.runState, RunState::Running);
  using Read = std::uint32_t (*)(Calculator&, std::uint32_t);
  using Write = void (*)(Calculator&, std::uint32_t, std::uint32_t);
  for (Read read : {Read{ReadWord}, Read{ReadLong}}) {
    m.cpu.runState = RunState::Running;
    EXPECT_EQ(read(m, 0x00000F), 1u);
    EXPECT_EQ(m.cpu.runState, RunState::AddressFault);
  }
  for (Write write : {Write{WriteWord}, Write{WriteLong}}) {
    m.cpu.runState = RunState::Running;
    write(m, 0x00000F, 0xFFFFFFFF);
    EXPECT_EQ(m.cpu.runState, RunState::AddressFault);
    EXPECT_EQ(m.ram[0x0F], 0);
    EXPECT_EQ(m.ram[0x10], 0x5A);
  }
}

TEST_F(MemoryBus, WritesLandBigEndianAndWrapLikeReads) {
  WriteLong(m, 0x001000, 0x01020304);
  EXPECT_EQ(LoadBe32(&m.ram[0x1000]), 0x01020304u);
  WriteWord(m, 0x041002, 0xBEEF);  // a mirror
  EXPECT_EQ(LoadBe16(&m.ram[0x1002]), 0xBEEFu);
  WriteLong(m, 0x03FFFE, 0xAABBCCDD);
  EXPECT_EQ(LoadBe16(&m.ram[0x3FFFE]), 0xAABBu);
  EXPECT_EQ(LoadBe16(&m.ram[0x00000]), 0xCCDDu);
}

TEST_F(MemoryBus, ProtectedLowRam) {
  Protect();
  struct Case {
    const char* what;
    void (*write)(Calculator&, std::uint32_t, std::uint32_t);
    std::uint32_t address;
    bool stored;
  };
  const Case cases[] = {
      {"long inside the protected 1 KB", WriteLong, 0x0003FC, false},
      {"long straddling its end is dropped whole", WriteLong, 0x0003FE, false},
      {"byte just past it", WriteByte, 0x000400, true},
      {"byte through the mirror", WriteByte, 0x040000, true},
      {"word at 0", WriteWord, 0x000000, false},
      {"word with the top byte set", WriteWord, 0xFF000100, false},
      {"long through the mirror, top byte set", WriteLong, 0x01040000, true},
      {"byte with the top byte set", WriteByte, 0xA00003FF, false},
  };
  for (const Case& c : cases) {
    m.cpu.runState = RunState::Running;
    std::memset(&m.ram[0x3F8], 0, 16);
    m.ram[0] = m.ram[1] = 0;
    c.write(m, c.address, 0xFFFFFFFF);
    const std::uint32_t offset = c.address & 0x3FFFF;
    EXPECT_EQ(m.ram[offset] == 0xFF, c.stored) << c.what;
    EXPECT_EQ(m.cpu.runState == RunState::ProtectFault, !c.stored) << c.what;
  }
  EXPECT_EQ(m.ram[0x400], 0) << "the long at 0x3FE stored its low half";
  m.ports[port::kProtection] = 0;
  m.cpu.runState = RunState::Running;
  WriteWord(m, 0x000000, 0x1234);
  EXPECT_EQ(LoadBe16(&m.ram[0]), 0x1234u);
  EXPECT_EQ(m.cpu.runState, RunState::Running);
}

TEST_F(MemoryBus, FlashEraseSequence) {
  for (std::uint32_t i = 0x10000; i < 0x20000; i += 0x100) m.rom[i] = 0x00;
  m.rom[0x20000] = 0x00;
  WriteWord(m, 0x410000, 0x5050);
  EXPECT_EQ(m.flashState, FlashState::CommandReady);
  WriteWord(m, 0x41ABCE, 0x2020);
  EXPECT_EQ(m.flashState, FlashState::EraseSetup);
  WriteWord(m, 0x41FFFE, 0xD0D0);
  EXPECT_EQ(m.flashState, FlashState::StatusRead);
  // Status mode: the whole flash reads all ones, whatever it holds.
  EXPECT_EQ(ReadWord(m, 0x400100), 0xFFFFFFFFu);
  EXPECT_EQ(ReadLong(m, 0x420000), 0xFFFFFFFFu);
  EXPECT_EQ(ReadByte(m, 0x5FFFFF), 0xFFFFFFFFu);
  WriteWord(m, 0x400000, 0xFFFF);
  EXPECT_EQ(m.flashState, FlashState::CommandReady);
  EXPECT_EQ(ReadWord(m, 0x400100), 0x1234u);
  for (std::uint32_t i = 0x10000; i < 0x20000; i += 0x100) ASSERT_EQ(m.rom[i], 0xFF) << i;
  EXPECT_EQ(m.rom[0x20000], 0x00) << "the next block was erased too";
  EXPECT_EQ(ReadByte(m, 0x410000), 0xFFFFFFFFu);
}

TEST_F(MemoryBus, FlashProgramming) {
  struct Case {
    const char* what;
    void (*write)(Calculator&, std::uint32_t, std::uint32_t);
    std::uint32_t address, value, expectedWord;
  };
  const Case cases[] = {
      {"a word", WriteWord, 0x400200, 0x1234, 0x1234},
      {"a byte programs both halves", WriteByte, 0x400201, 0x0F, 0x0F0F},
      {"through the empty region's alias", WriteWord, 0x200200, 0x00FF, 0x00FF},
  };
  for (const Case& c : cases) {
    m.rom[0x200] = m.rom[0x201] = 0xFF;
    m.flashState = FlashState::ReadArray;
    WriteWord(m, 0x400000, 0x5050);
    WriteWord(m, 0x400000, 0x1010);
    ASSERT_EQ(m.flashState, FlashState::ProgramSetup);
    c.write(m, c.address, c.value);
    EXPECT_EQ(m.flashState, FlashState::StatusRead) << c.what;
    EXPECT_EQ(LoadBe16(&m.rom[0x200]), c.expectedWord) << c.what;
  }
  // Programming only clears bits.
  m.flashState = FlashState::ProgramSetup;
  WriteWord(m, 0x400200, 0xFFF0);
  EXPECT_EQ(LoadBe16(&m.rom[0x200]), 0x00F0u);
}

// The chip takes a new command in status mode: software erases a block and
// programs a run of words, polling the status after each, and only then
// goes back to reading the array (PedroM's archive writes every word of a
// file this way).
TEST_F(MemoryBus, FlashTakesCommandsInStatusMode) {
  std::fill(m.rom.begin() + 0x30000, m.rom.begin() + 0x40000, 0x00);
  WriteWord(m, 0x430000, 0x5050);
  WriteWord(m, 0x430000, 0x2020);
  WriteWord(m, 0x430000, 0xD0D0);
  const std::uint16_t words[] = {0x1234, 0x5678, 0x9ABC};
  for (std::uint32_t i = 0; i < 3; ++i) {
    WriteWord(m, 0x430000 + 2 * i, 0x1010);
    WriteWord(m, 0x430000 + 2 * i, words[i]);
    EXPECT_EQ(ReadWord(m, 0x430000) & 0x80, 0x80u) << "ready, word " << i;
  }
  WriteWord(m, 0x430000, 0x5050);
  EXPECT_EQ(ReadWord(m, 0x430000), 0xFFFFFFFFu) << "clearing the status stays in status mode";
  WriteWord(m, 0x430000, 0xFFFF);
  EXPECT_EQ(ReadLong(m, 0x430000), 0x12345678u);
  EXPECT_EQ(ReadLong(m, 0x430004), 0x9ABCFFFFu);
  EXPECT_EQ(m.rom[0x3FFFF], 0xFF) << "the whole block erased";
}

TEST_F(MemoryBus, FlashIgnoresOtherCommands) {
  const std::uint8_t before = m.rom[0x100];
  struct Case {
    FlashState from;
    std::uint32_t value;
    FlashState to;
  };
  const Case cases[] = {
      {FlashState::ReadArray, 0x1010, FlashState::ReadArray},
      {FlashState::ReadArray, 0xFFFF, FlashState::ReadArray},
      {FlashState::StatusRead, 0x5050, FlashState::StatusRead},
      {FlashState::CommandReady, 0xD0D0, FlashState::CommandReady},
      {FlashState::EraseSetup, 0x1010, FlashState::EraseSetup},
  };
  for (const Case& c : cases) {
    m.flashState = c.from;
    WriteWord(m, 0x400100, c.value);
    EXPECT_EQ(m.flashState, c.to) << c.value;
  }
  EXPECT_EQ(m.rom[0x100], before);
  // While a command is pending the flash still reads its contents.
  m.flashState = FlashState::ProgramSetup;
  EXPECT_EQ(ReadWord(m, 0x400100), 0x1234u);
}

TEST_F(MemoryBus, EmptyRegionWritesReachTheFlashMachine) {
  EXPECT_EQ(ReadWord(m, 0x240000), 0u);
  WriteWord(m, 0x240000, 0x5050);
  EXPECT_EQ(m.flashState, FlashState::CommandReady);
}

TEST_F(MemoryBus, PortsAreReachedOneByteAtATimeInAscendingOrder) {
  WriteLong(m, 0x600010, 0x12340000);  // ports 0x10, 0x11, 0x12, 0x13
  EXPECT_EQ(m.lcdBase, 0x12u * 2048 + 0x34u * 8);
  m.ports[0x0D] = 0x99;
  EXPECT_EQ(ReadLong(m, 0x60000C) & 0x00FF0000, 0x00990000u);
  EXPECT_EQ(m.ports[0x0D], 0x40) << "reading port 0x0D resets it";
  WriteByte(m, 0x700015, 0x01);
  EXPECT_EQ(m.ports[port::kTimerControl], 0x00) << "writes at 0x700000 and up are ignored";
  WriteByte(m, 0x800015, 0x01);
  EXPECT_EQ(m.ports[port::kTimerControl], 0x00);
  WriteByte(m, 0x6FFFF5, 0x01);  // a mirror inside 0x600000-0x6FFFFF
  EXPECT_EQ(m.ports[port::kTimerControl], 0x01);
}

}  // namespace
}  // namespace pellux
