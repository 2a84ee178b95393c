// Shared helpers for the test suite: ROM images built in the test itself,
// temporary files, hosts that can be made to fail, small 68000 programs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cpu/flat_machine.h"
#include "machine/calculator.h"
#include "machine/clock.h"

namespace pellux::test {

// A file in the temporary directory, removed when the object goes.
class TempFile {
 public:
  explicit TempFile(const std::vector<std::uint8_t>& bytes);
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A folder of its own in the temporary directory, removed with all it holds
// when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  // A file in the folder holding the bytes; answers its path.
  std::filesystem::path Write(const std::string& name, std::string_view bytes) const;

 private:
  std::filesystem::path path_;
};

// A flash image with the vector marker at 0x12000 and the 64 vectors after it.
// Every vector points at `handler` unless set otherwise; code goes anywhere.
class RomBuilder {
 public:
  static constexpr std::uint32_t kMarkerOffset = 0x12000;
  static constexpr std::uint32_t kVectorsOffset = kMarkerOffset + 4;
  static constexpr std::uint32_t kFlashBase = 0x400000;
  static constexpr std::uint32_t kDefaultSsp = 0x3F000;
  static constexpr std::uint32_t kDefaultPc = kFlashBase + 0x20000;
  static constexpr std::uint32_t kDefaultHandler = kFlashBase + 0x30000;

  RomBuilder(std::uint32_t ssp = kDefaultSsp, std::uint32_t pc = kDefaultPc,
             std::uint32_t handler = kDefaultHandler);

  RomBuilder& Vector(unsigned n, std::uint32_t value);
  // Words of code at a flash address (0x400000 and up).
  RomBuilder& Code(std::uint32_t address, std::initializer_list<std::uint16_t> words);
  // count copies of one word from a flash address on.
  RomBuilder& Fill(std::uint32_t address, std::uint32_t count, std::uint16_t word);
  RomBuilder& Byte(std::uint32_t offset, std::uint8_t value);
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

// Hand-assembled 68000 words for the tests' small programs; (xxx).L
// operands follow as two words.
namespace asm68k {
constexpr std::uint16_t kMoveByteToAbs = 0x13FC;     // MOVE.B #imm,(xxx).L
constexpr std::uint16_t kMoveByteAbsToAbs = 0x13F9;  // MOVE.B (xxx).L,(xxx).L
constexpr std::uint16_t kMoveToSr = 0x46FC;          // MOVE.W #imm,SR
constexpr std::uint16_t kStop = 0x4E72;              // STOP #imm
constexpr std::uint16_t kRte = 0x4E73;
constexpr std::uint16_t kBraSelf = 0x60FE;  // BRA.S *
// ADDQ.L #1,Dn
constexpr std::uint16_t AddqOne(unsigned dn) { return static_cast<std::uint16_t>(0x5280 | dn); }
}  // namespace asm68k

// Interrupt level n (1..7) enters its own handler at LevelHandler(n).
constexpr std::uint32_t LevelHandler(unsigned level) { return 0x440000 + 0x2000 * level; }

// A machine that runs on forever: flash from the start PC to 0x460000 holds
// NOPs (the level handlers included), so any run of a few thousand
// instructions stays on known ground. Tests write their programs over it.
RomBuilder NopRom(std::uint32_t ssp = RomBuilder::kDefaultSsp);

// A program that draws grey: it draws two planes at kPlaneA and kPlaneB
// (A: bytes 0xCC, B: bytes 0xAA, so that in each group of four pixels the
// first is dark in both, the second in A only, the third in B only and the
// fourth in neither), shows A, and switches the LCD to the other plane at
// every level-1 interrupt. Without `flips` the handler only returns: a
// black-and-white program showing plane A.
constexpr std::uint32_t kPlaneA = 0x4C00;  // lcdBase at start
constexpr std::uint32_t kPlaneB = 0x5C00;
RomBuilder TwoPlaneRom(bool flips);

// The PC of the exception frame on top of the supervisor stack.
std::uint32_t StackedPc(const Calculator& m);

// A calculator built from a ROM image made in the test, paced by a manual
// clock from its start.
struct CalculatorFixture {
  explicit CalculatorFixture(const RomBuilder& rom = RomBuilder(),
                             std::int64_t clockFrequency = ManualClock::kDefaultFrequency);
  ManualClock clock;
  std::unique_ptr<Calculator> calc;
};

// Stores big-endian words in flat memory at an address.
void Poke(FlatMachine& m, std::uint32_t address, std::initializer_list<std::uint16_t> words);
void PokeLong(FlatMachine& m, std::uint32_t address, std::uint32_t value);
std::uint32_t PeekWord(const FlatMachine& m, std::uint32_t address);
std::uint32_t PeekLong(const FlatMachine& m, std::uint32_t address);

// The big-endian bytes of 16-bit words, as they stand in memory.
std::vector<std::uint8_t> WordBytes(std::initializer_list<std::uint16_t> words);

// Disassemble with the listing's 64-byte operand buffer, as plain strings.
struct Disassembled {
  std::string mnemonic;
  std::string operands;
  std::uint32_t length;
};
Disassembled DisassembleBytes(std::span<const std::uint8_t> code, std::uint32_t address);

// A flat machine in supervisor state with every vector pointing at its own
// small handler (vector n at 0x1000 + 4n) so tests can tell which was taken.
struct FlatFixture {
  static constexpr std::uint32_t kCode = 0x2000;
  static constexpr std::uint32_t kStack = 0x8000;
  static constexpr std::uint32_t HandlerOf(unsigned vector) { return 0x1000 + 4 * vector; }

  FlatFixture();
  // Loads code at kCode and resets the processor onto it.
  void Load(std::initializer_list<std::uint16_t> words);
  // The vector whose handler the PC stands at, or -1.
  int VectorTaken() const;

  FlatMachine m;
};

}  // namespace pellux::test
