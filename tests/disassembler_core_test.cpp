// The disassembler against the processor, over all 65,536 opcode words. Both
// decode through the instruction table, but the handlers decide what the
// core refuses and how many extension words it reads: these tests hold the
// handlers to what the table says.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <sstream>
#include <string>
#include <vector>

#include "cpu/core.h"
#include "cpu/exceptions.h"
#include "debugger/disassembler.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::FlatFixture;
using test::Poke;
using test::WordBytes;

struct Range {
  std::uint32_t begin;
  std::uint32_t end;
};

// Everything one instruction can write with the registers and extension
// words used here: the vectors and handlers, the code and what PC-relative
// operands reach, both stacks, the data around A0-A6, and the top of memory
// (-(An) from 0 wraps there).
constexpr Range kReachable[] = {
    {0x000000, 0x001400}, {0x002000, 0x002900},  {0x007F00, 0x009100},
    {0x00FF00, 0x010900}, {0xFFFF00, 0x1000000},
};

// One flat machine for all 65,536 opcodes: the memory an instruction can
// reach is put back before each one, which costs far less than a new machine.
class OpcodeBench {
 public:
  OpcodeBench() {
    for (const Range& range : kReachable) {
      saved_.emplace_back(&f_.m.memory[range.begin], &f_.m.memory[range.end]);
    }
  }

  // Fills a range with a word before the snapshot is taken.
  void Fill(Range range, std::uint16_t word) {
    for (std::uint32_t a = range.begin; a < range.end; a += 2) Poke(f_.m, a, {word});
  }
  void Snapshot() {
    for (std::size_t i = 0; i < saved_.size(); ++i) {
      std::copy_n(&f_.m.memory[kReachable[i].begin], saved_[i].size(), saved_[i].begin());
    }
  }

  // Runs one instruction of opcode and extension words from FlatFixture::kCode
  // after a reset; `setup` may then change registers.
  template <class Setup>
  void Run(const std::array<std::uint16_t, 5>& words, Setup&& setup) {
    for (std::size_t i = 0; i < saved_.size(); ++i) {
      std::copy(saved_[i].begin(), saved_[i].end(), &f_.m.memory[kReachable[i].begin]);
    }
    for (std::size_t i = 0; i < words.size(); ++i) Poke(f_.m, FlatFixture::kCode + 2 * i, {words[i]});
    Reset(f_.m);
    setup(f_.m.cpu);
    RunInstructions(f_.m, 1, nullptr);
  }

  const FlatFixture& fixture() const { return f_; }

 private:
  FlatFixture f_;
  std::vector<std::vector<std::uint8_t>> saved_;
};

std::string Describe(std::uint16_t op, const test::Disassembled& d) {
  std::ostringstream text;
  text << std::hex << op << " (" << d.mnemonic << (d.operands.empty() ? "" : " ") << d.operands << ")";
  return text.str();
}

std::string FirstOf(const std::vector<std::string>& disagreements) {
  std::ostringstream text;
  text << disagreements.size() << " opcodes disagree, the first:";
  for (std::size_t i = 0; i < std::min<std::size_t>(disagreements.size(), 40); ++i) {
    text << "\n  " << disagreements[i];
  }
  return text.str();
}

// Where the two sides differ on purpose, with the reason. Cases that look
// like departures but are not, in the setup below:
// - privileged instructions (MOVE to SR, STOP, RTE, RESET, MOVE USP, the SR
//   forms of ORI, ANDI, EORI): the run is in supervisor state, so the core
//   executes them; in user state they would take the privilege violation,
//   which is not a refusal of the encoding.
// - CMPI with a d16(PC) or d8(PC,Xn) destination: accepted by both.
// - MOVEM with an empty mask: a valid instruction whose list prints "?".
// - TRAP, TRAPV, CHK, DIVU/DIVS by zero: valid; they take their own vectors.
// - BTST Dn,#imm: the dynamic form takes an immediate on both sides.
struct Departure {
  std::uint16_t op;
  const char* reason;
};

constexpr Departure kValidityDepartures[] = {
    {0x4AFC, "ILLEGAL is a named instruction to the disassembler; executing it is the illegal exception"},
};

// Validity: the disassembler says "?" exactly when the core raises the
// illegal-instruction exception or the line-A or line-F exception. Extension
// words are zero; supervisor state, so privileged instructions run.
TEST(DisassemblerAgainstCore, InvalidExactlyWhereTheCoreRefuses) {
  OpcodeBench bench;
  bench.Snapshot();
  std::vector<std::string> disagreements;
  std::vector<std::uint16_t> departuresSeen;
  for (unsigned op = 0; op < 0x10000; ++op) {
    const std::array<std::uint16_t, 5> words = {static_cast<std::uint16_t>(op), 0, 0, 0, 0};
    const auto bytes = WordBytes({words[0], words[1], words[2], words[3], words[4]});
    const auto d = test::DisassembleBytes(bytes, FlatFixture::kCode);
    bench.Run(words, [](CpuState&) {});
    const int vector = bench.fixture().VectorTaken();
    const bool coreRefuses = vector == kVectorIllegal || vector == kVectorLineA || vector == kVectorLineF;
    const bool invalid = d.mnemonic == "?";
    const bool departure = std::ranges::any_of(kValidityDepartures, [&](auto& x) { return x.op == op; });
    if (departure) {
      if (coreRefuses != invalid) departuresSeen.push_back(static_cast<std::uint16_t>(op));
      continue;
    }
    if (coreRefuses != invalid) {
      disagreements.push_back(Describe(static_cast<std::uint16_t>(op), d) +
                              (invalid ? ": the core runs it" : ": the core refuses it"));
    }
  }
  EXPECT_EQ(departuresSeen.size(), std::size(kValidityDepartures)) << "a listed departure no longer differs";
  EXPECT_TRUE(disagreements.empty()) << FirstOf(disagreements);
}

// What transfers control or traps, so the PC does not show the length.
bool TransfersControl(unsigned op) {
  return (op & 0xF000) == 0x6000 ||                       // Bcc, BRA, BSR
         (op & 0xF0F8) == 0x50C8 ||                       // DBcc
         (op & 0xFF80) == 0x4E80 ||                       // JSR, JMP
         (op & 0xFFF0) == 0x4E40 ||                       // TRAP
         op == 0x4E73 || op == 0x4E75 || op == 0x4E77 ||  // RTE, RTS, RTR
         op == 0x4AFC;                                    // ILLEGAL
}

// Length: for every valid opcode that does not transfer control, the core's
// PC moves by exactly the disassembler's length. Operands are chosen so that
// nothing traps: every data register holds 2 (an even index, a CHK bound that
// holds, a divisor that is not 0), A0-A6 point into memory of 0x0002 words,
// and every extension word is 0x0800 (even displacements and absolute
// addresses in that memory, a long index on D0, a non-zero immediate).
TEST(DisassemblerAgainstCore, LengthIsHowFarTheCoreMovesThePC) {
  constexpr std::uint16_t kExtension = 0x0800;
  constexpr std::uint32_t kData = 0x10000;
  OpcodeBench bench;
  bench.Fill({0x000800, 0x000900}, 0x0002);  // abs.W and abs.L 0x0800
  bench.Fill({0x002800, 0x002900}, 0x0002);  // d16(PC)
  bench.Fill({0x007F00, 0x008900}, 0x0002);  // around A7, and d16(A7)
  bench.Fill({0x00FF00, 0x010900}, 0x0002);  // around A0-A6, and d16(An)
  bench.Snapshot();
  const auto setup = [](CpuState& cpu) {
    for (unsigned n = 0; n < 8; ++n) cpu.d(n) = 2;
    for (unsigned n = 0; n < 7; ++n) cpu.a(n) = kData;
    cpu.otherSp = 0x9000;
  };

  std::vector<std::string> disagreements;
  int checked = 0;
  for (unsigned op = 0; op < 0x10000; ++op) {
    if (TransfersControl(op)) continue;
    const std::array<std::uint16_t, 5> words = {static_cast<std::uint16_t>(op), kExtension, kExtension,
                                                kExtension, kExtension};
    const auto bytes = WordBytes({words[0], words[1], words[2], words[3], words[4]});
    const auto d = test::DisassembleBytes(bytes, FlatFixture::kCode);
    if (d.mnemonic == "?") continue;
    bench.Run(words, setup);
    ++checked;
    const int vector = bench.fixture().VectorTaken();
    const std::uint32_t moved = bench.fixture().m.cpu.pc - FlatFixture::kCode;
    if (vector >= 0) {
      disagreements.push_back(Describe(static_cast<std::uint16_t>(op), d) + ": raised vector " +
                              std::to_string(vector));
    } else if (moved != d.length) {
      disagreements.push_back(Describe(static_cast<std::uint16_t>(op), d) + ": length " +
                              std::to_string(d.length) + ", PC moved " + std::to_string(moved));
    }
  }
  EXPECT_GT(checked, 40000) << "most opcodes are valid instructions";
  EXPECT_TRUE(disagreements.empty()) << FirstOf(disagreements);
}

}  // namespace
}  // namespace pellux
