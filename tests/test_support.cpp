#include "tests/test_support.h"

#include <stdlib.h>

#include <atomic>
#include <fstream>
#include <random>

#include "cpu/core.h"
#include "debugger/disassembler.h"

namespace pellux::test {

TempFile::TempFile(const std::vector<std::uint8_t>& bytes) {
  static std::atomic<int> counter{0};
  static const unsigned run = std::random_device{}();
  path_ = std::filesystem::temp_directory_path() /
          ("pellux-test-" + std::to_string(run) + "-" + std::to_string(counter++) + ".bin");
  std::ofstream out(path_, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TempFile::~TempFile() {
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

TempDir::TempDir() {
  std::string name = (std::filesystem::temp_directory_path() / "pellux-test-XXXXXX").string();
  path_ = mkdtemp(name.data()) ? std::filesystem::path(name) : std::filesystem::path();
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempDir::Write(const std::string& name, std::string_view bytes) const {
  const std::filesystem::path file = path_ / name;
  std::ofstream out(file, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return file;
}

RomBuilder::RomBuilder(std::uint32_t ssp, std::uint32_t pc, std::uint32_t handler)
    : bytes_(kVectorsOffset + 256 + 0x40000, 0) {
  for (unsigned i = 0; i < 4; ++i) bytes_[kMarkerOffset + i] = 0xCC;
  for (unsigned n = 2; n < 64; ++n) Vector(n, handler);
  Vector(0, ssp);
  Vector(1, pc);
}

RomBuilder& RomBuilder::Vector(unsigned n, std::uint32_t value) {
  const std::uint32_t at = kVectorsOffset + 4 * n;
  for (unsigned i = 0; i < 4; ++i) bytes_[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
  return *this;
}

RomBuilder& RomBuilder::Code(std::uint32_t address, std::initializer_list<std::uint16_t> words) {
  std::uint32_t offset = address - kFlashBase;
  for (const std::uint16_t word : words) {
    if (bytes_.size() < offset + 2) bytes_.resize(offset + 2, 0);
    bytes_[offset++] = static_cast<std::uint8_t>(word >> 8);
    bytes_[offset++] = static_cast<std::uint8_t>(word);
  }
  return *this;
}

RomBuilder& RomBuilder::Fill(std::uint32_t address, std::uint32_t count, std::uint16_t word) {
  const std::uint32_t offset = address - kFlashBase;
  if (bytes_.size() < offset + 2 * count) bytes_.resize(offset + 2 * count, 0);
  for (std::uint32_t i = 0; i < count; ++i) {
    bytes_[offset + 2 * i] = static_cast<std::uint8_t>(word >> 8);
    bytes_[offset + 2 * i + 1] = static_cast<std::uint8_t>(word);
  }
  return *this;
}

RomBuilder NopRom(std::uint32_t ssp) {
  constexpr std::uint16_t kNop = 0x4E71;
  constexpr std::uint32_t kEnd = 0x460000;
  RomBuilder rom(ssp);
  rom.Fill(RomBuilder::kDefaultPc, (kEnd - RomBuilder::kDefaultPc) / 2, kNop);
  for (unsigned level = 1; level <= 7; ++level) rom.Vector(24 + level, LevelHandler(level));
  return rom;
}

RomBuilder TwoPlaneRom(bool flips) {
  using namespace asm68k;
  RomBuilder rom = NopRom();
  rom.Code(RomBuilder::kDefaultPc,
           {0x41F8, kPlaneA,                     // LEA (kPlaneA).W,A0
            0x303C, 959,                         // MOVE.W #959,D0
            0x20FC, 0xCCCC, 0xCCCC,              // MOVE.L #$CCCCCCCC,(A0)+
            0x51C8, 0xFFF8,                      // DBRA D0,*-6
            0x41F8, kPlaneB,                     // LEA (kPlaneB).W,A0
            0x303C, 959,                         // MOVE.W #959,D0
            0x20FC, 0xAAAA, 0xAAAA,              // MOVE.L #$AAAAAAAA,(A0)+
            0x51C8, 0xFFF8,                      // DBRA D0,*-6
            0x7E09,                              // MOVEQ #9,D7: port 0x10's value for plane A
            kMoveByteToAbs, 0x0001, 0x0060, 0x0015,  // the timer ticks run
            kMoveToSr, 0x2000,                   // interrupts on
            kBraSelf});
  if (flips) {
    rom.Code(LevelHandler(1), {0x0A07, 0x0002,            // EORI.B #2,D7: the other plane
                               0x13C7, 0x0060, 0x0010,    // MOVE.B D7,($600010).L
                               kRte});
  } else {
    rom.Code(LevelHandler(1), {kRte});
  }
  return rom;
}

std::uint32_t StackedPc(const Calculator& m) { return LoadBe32(&m.ram[(m.cpu.a(7) + 2) & (kRamSize - 1)]); }

RomBuilder& RomBuilder::Byte(std::uint32_t offset, std::uint8_t value) {
  if (bytes_.size() <= offset) bytes_.resize(offset + 1, 0);
  bytes_[offset] = value;
  return *this;
}

CalculatorFixture::CalculatorFixture(const RomBuilder& rom, std::int64_t clockFrequency)
    : clock(clockFrequency), calc(std::make_unique<Calculator>(rom.bytes())) {
  calc->StartPacing(clock);
}

void Poke(FlatMachine& m, std::uint32_t address, std::initializer_list<std::uint16_t> words) {
  for (const std::uint16_t word : words) {
    WriteWord(m, address, word);
    address += 2;
  }
}

void PokeLong(FlatMachine& m, std::uint32_t address, std::uint32_t value) { WriteLong(m, address, value); }

std::uint32_t PeekWord(const FlatMachine& m, std::uint32_t address) {
  return LoadBe16(&m.memory[address & FlatMachine::kAddressMask]);
}

std::uint32_t PeekLong(const FlatMachine& m, std::uint32_t address) {
  return LoadBe32(&m.memory[address & FlatMachine::kAddressMask]);
}

std::vector<std::uint8_t> WordBytes(std::initializer_list<std::uint16_t> words) {
  std::vector<std::uint8_t> bytes;
  for (const std::uint16_t word : words) {
    bytes.push_back(static_cast<std::uint8_t>(word >> 8));
    bytes.push_back(static_cast<std::uint8_t>(word));
  }
  return bytes;
}

Disassembled DisassembleBytes(std::span<const std::uint8_t> code, std::uint32_t address) {
  char mnemonic[kMnemonicCapacity];
  char operands[64];
  const std::uint32_t length = Disassemble(code, address, mnemonic, operands);
  return {mnemonic, operands, length};
}

FlatFixture::FlatFixture() {
  PokeLong(m, 0, kStack);
  PokeLong(m, 4, kCode);
  for (unsigned n = 2; n < 256; ++n) {
    PokeLong(m, 4 * n, HandlerOf(n));
    Poke(m, HandlerOf(n), {0x4E71, 0x4E71});  // NOPs
  }
}

void FlatFixture::Load(std::initializer_list<std::uint16_t> words) {
  Poke(m, kCode, words);
  Reset(m);
}

int FlatFixture::VectorTaken() const {
  const std::uint32_t pc = m.cpu.pc;
  if (pc < HandlerOf(0) || pc >= HandlerOf(256) || (pc & 3)) return -1;
  return static_cast<int>((pc - HandlerOf(0)) / 4);
}

}  // namespace pellux::test
