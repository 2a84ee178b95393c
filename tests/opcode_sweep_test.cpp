// Every opcode word run once, in user and in supervisor state, from a fixed
// state: it either runs or enters exactly the vector its decoding gives it
// (illegal instruction, privilege violation, line A, line F). What each
// opcode is expected to do is written once, in kDecodeTable below, from the
// instruction set's encodings; nothing here looks at how the core decodes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cpu/core.h"
#include "cpu/exceptions.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

// The twelve addressing modes; an operand class is a set of them.
enum EaMode : unsigned { kDn, kAn, kInd, kPostInc, kPreDec, kDisp, kIndex, kAbsW, kAbsL, kPcDisp, kPcIndex, kImm };

constexpr unsigned Modes(std::initializer_list<EaMode> modes) {
  unsigned set = 0;
  for (const EaMode mode : modes) set |= 1u << mode;
  return set;
}

constexpr unsigned kMemoryAlterable = Modes({kInd, kPostInc, kPreDec, kDisp, kIndex, kAbsW, kAbsL});
constexpr unsigned kDataAlterable = kMemoryAlterable | Modes({kDn});
constexpr unsigned kAlterable = kDataAlterable | Modes({kAn});
constexpr unsigned kData = kDataAlterable | Modes({kPcDisp, kPcIndex, kImm});
constexpr unsigned kDataNotImmediate = kData & ~Modes({kImm});  // CMPI (wider than the MC68000), BTST #n
constexpr unsigned kAll = kData | Modes({kAn});
constexpr unsigned kControl = Modes({kInd, kDisp, kIndex, kAbsW, kAbsL, kPcDisp, kPcIndex});
constexpr unsigned kMovemToMemory = Modes({kInd, kPreDec, kDisp, kIndex, kAbsW, kAbsL});
constexpr unsigned kMovemToRegisters = kControl | Modes({kPostInc});

enum class Outcome { Runs, Illegal, Privileged, LineA, LineF };

// One encoding. The pattern gives bits 15 to 0: '0' and '1' must match, '-'
// is free, "ss" is a size field (00, 01 or 10, never 11). Where a class is
// given, bits 5-0 (source) or 11-6 (MOVE's destination: register 11-9, mode
// 8-6) must name a mode of that class. A privileged encoding enters the
// privilege violation in user state as soon as its pattern matches, before
// its operand is looked at.
struct Encoding {
  const char* pattern;
  const char* name;
  unsigned source = 0;       // 0: no constraint
  unsigned destination = 0;  // 0: no constraint
  bool privileged = false;
  Outcome outcome = Outcome::Runs;
};

const Encoding kDecodeTable[] = {
    // Line 0: immediate, bit and MOVEP.
    {"0000 0000 ss-- ----", "ORI", kDataAlterable},
    {"0000 0000 0011 1100", "ORI to CCR"},
    {"0000 0000 0111 1100", "ORI to SR", 0, 0, true},
    {"0000 0010 ss-- ----", "ANDI", kDataAlterable},
    {"0000 0010 0011 1100", "ANDI to CCR"},
    {"0000 0010 0111 1100", "ANDI to SR", 0, 0, true},
    {"0000 0100 ss-- ----", "SUBI", kDataAlterable},
    {"0000 0110 ss-- ----", "ADDI", kDataAlterable},
    {"0000 1010 ss-- ----", "EORI", kDataAlterable},
    {"0000 1010 0011 1100", "EORI to CCR"},
    {"0000 1010 0111 1100", "EORI to SR", 0, 0, true},
    {"0000 1100 ss-- ----", "CMPI", kDataNotImmediate},
    {"0000 1000 00-- ----", "BTST #n", kDataNotImmediate},
    {"0000 1000 01-- ----", "BCHG #n", kDataAlterable},
    {"0000 1000 10-- ----", "BCLR #n", kDataAlterable},
    {"0000 1000 11-- ----", "BSET #n", kDataAlterable},
    {"0000 ---1 00-- ----", "BTST Dn", kData},
    {"0000 ---1 01-- ----", "BCHG Dn", kDataAlterable},
    {"0000 ---1 10-- ----", "BCLR Dn", kDataAlterable},
    {"0000 ---1 11-- ----", "BSET Dn", kDataAlterable},
    {"0000 ---1 --00 1---", "MOVEP"},
    // Lines 1-3: MOVE and MOVEA.
    {"0001 ---- ---- ----", "MOVE.B", kData, kDataAlterable},
    {"0010 ---- ---- ----", "MOVE.L", kAll, kDataAlterable},
    {"0010 ---0 01-- ----", "MOVEA.L", kAll},
    {"0011 ---- ---- ----", "MOVE.W", kAll, kDataAlterable},
    {"0011 ---0 01-- ----", "MOVEA.W", kAll},
    // Line 4.
    {"0100 0000 ss-- ----", "NEGX", kDataAlterable},
    {"0100 0000 11-- ----", "MOVE from SR", kDataAlterable},
    {"0100 0010 ss-- ----", "CLR", kDataAlterable},
    {"0100 0100 ss-- ----", "NEG", kDataAlterable},
    {"0100 0100 11-- ----", "MOVE to CCR", kData},
    {"0100 0110 ss-- ----", "NOT", kDataAlterable},
    {"0100 0110 11-- ----", "MOVE to SR", kData, 0, true},
    {"0100 1000 00-- ----", "NBCD", kDataAlterable},
    {"0100 1000 0100 0---", "SWAP"},
    {"0100 1000 01-- ----", "PEA", kControl},
    {"0100 1000 1000 0---", "EXT.W"},
    {"0100 1000 1100 0---", "EXT.L"},
    {"0100 1000 1--- ----", "MOVEM to memory", kMovemToMemory},
    {"0100 1010 ss-- ----", "TST", kDataAlterable},
    {"0100 1010 11-- ----", "TAS", kDataAlterable},
    {"0100 1100 1--- ----", "MOVEM to registers", kMovemToRegisters},
    {"0100 1110 0100 ----", "TRAP"},
    {"0100 1110 0101 0---", "LINK"},
    {"0100 1110 0101 1---", "UNLK"},
    {"0100 1110 0110 ----", "MOVE USP", 0, 0, true},
    {"0100 1110 0111 0000", "RESET", 0, 0, true},
    {"0100 1110 0111 0001", "NOP"},
    {"0100 1110 0111 0010", "STOP", 0, 0, true},
    {"0100 1110 0111 0011", "RTE", 0, 0, true},
    {"0100 1110 0111 0101", "RTS"},
    {"0100 1110 0111 0110", "TRAPV"},
    {"0100 1110 0111 0111", "RTR"},
    {"0100 1110 10-- ----", "JSR", kControl},
    {"0100 1110 11-- ----", "JMP", kControl},
    {"0100 ---1 10-- ----", "CHK", kData},
    {"0100 ---1 11-- ----", "LEA", kControl},
    // Lines 5-7.
    {"0101 ---0 00-- ----", "ADDQ.B", kDataAlterable},
    {"0101 ---0 01-- ----", "ADDQ.W", kAlterable},
    {"0101 ---0 10-- ----", "ADDQ.L", kAlterable},
    {"0101 ---1 00-- ----", "SUBQ.B", kDataAlterable},
    {"0101 ---1 01-- ----", "SUBQ.W", kAlterable},
    {"0101 ---1 10-- ----", "SUBQ.L", kAlterable},
    {"0101 ---- 11-- ----", "Scc", kDataAlterable},
    {"0101 ---- 1100 1---", "DBcc"},
    {"0110 ---- ---- ----", "Bcc"},
    {"0111 ---0 ---- ----", "MOVEQ"},
    // Line 8.
    {"1000 ---0 ss-- ----", "OR to Dn", kData},
    {"1000 ---0 11-- ----", "DIVU", kData},
    {"1000 ---1 0000 ----", "SBCD"},
    {"1000 ---1 ss-- ----", "OR to memory", kMemoryAlterable},
    {"1000 ---1 11-- ----", "DIVS", kData},
    // Line 9.
    {"1001 ---0 00-- ----", "SUB.B to Dn", kData},
    {"1001 ---0 01-- ----", "SUB.W to Dn", kAll},
    {"1001 ---0 10-- ----", "SUB.L to Dn", kAll},
    {"1001 ---0 11-- ----", "SUBA.W", kAll},
    {"1001 ---1 ss00 ----", "SUBX"},
    {"1001 ---1 ss-- ----", "SUB to memory", kMemoryAlterable},
    {"1001 ---1 11-- ----", "SUBA.L", kAll},
    // Line A.
    {"1010 ---- ---- ----", "line A", 0, 0, false, Outcome::LineA},
    // Line B.
    {"1011 ---0 00-- ----", "CMP.B", kData},
    {"1011 ---0 01-- ----", "CMP.W", kAll},
    {"1011 ---0 10-- ----", "CMP.L", kAll},
    {"1011 ---0 11-- ----", "CMPA.W", kAll},
    {"1011 ---1 ss00 1---", "CMPM"},
    {"1011 ---1 ss-- ----", "EOR", kDataAlterable},
    {"1011 ---1 11-- ----", "CMPA.L", kAll},
    // Line C.
    {"1100 ---0 ss-- ----", "AND to Dn", kData},
    {"1100 ---0 11-- ----", "MULU", kData},
    {"1100 ---1 0000 ----", "ABCD"},
    {"1100 ---1 ss-- ----", "AND to memory", kMemoryAlterable},
    {"1100 ---1 0100 0---", "EXG Dx,Dy"},
    {"1100 ---1 0100 1---", "EXG Ax,Ay"},
    {"1100 ---1 1000 1---", "EXG Dx,Ay"},
    {"1100 ---1 11-- ----", "MULS", kData},
    // Line D.
    {"1101 ---0 00-- ----", "ADD.B to Dn", kData},
    {"1101 ---0 01-- ----", "ADD.W to Dn", kAll},
    {"1101 ---0 10-- ----", "ADD.L to Dn", kAll},
    {"1101 ---0 11-- ----", "ADDA.W", kAll},
    {"1101 ---1 ss00 ----", "ADDX"},
    {"1101 ---1 ss-- ----", "ADD to memory", kMemoryAlterable},
    {"1101 ---1 11-- ----", "ADDA.L", kAll},
    // Line E.
    {"1110 ---- ss-- ----", "shift register"},
    {"1110 0--- 11-- ----", "shift memory", kMemoryAlterable},
    // Line F.
    {"1111 ---- ---- ----", "line F", 0, 0, false, Outcome::LineF},
};

bool PatternMatches(const char* pattern, unsigned opcode) {
  int bit = 15;
  for (const char* p = pattern; *p; ++p) {
    if (*p == ' ') continue;
    const unsigned value = (opcode >> bit) & 1;
    if ((*p == '0' && value) || (*p == '1' && !value)) return false;
    if (*p == 's' && p[1] == 's' && ((opcode >> (bit - 1)) & 3) == 3) return false;
    --bit;
  }
  return bit == -1;
}

// Mode field and register field to one of the twelve modes, or -1.
int ModeOf(unsigned mode, unsigned reg) {
  if (mode < 7) return static_cast<int>(mode);
  return reg <= 4 ? static_cast<int>(kAbsW + reg) : -1;
}

bool InClass(unsigned modes, unsigned mode, unsigned reg) {
  if (modes == 0) return true;
  const int m = ModeOf(mode, reg);
  return m >= 0 && ((modes >> m) & 1);
}

struct Expectation {
  Outcome outcome;
  const char* name;  // the encoding, or null
  int accepting;     // how many encodings accept the opcode: more than one is a table fault
};

Expectation Expect(unsigned opcode, bool supervisor) {
  Expectation e{Outcome::Illegal, nullptr, 0};
  const Encoding* privileged = nullptr;
  for (const Encoding& enc : kDecodeTable) {
    if (!PatternMatches(enc.pattern, opcode)) continue;
    if (enc.privileged) privileged = &enc;
    if (!InClass(enc.source, (opcode >> 3) & 7, opcode & 7)) continue;
    if (!InClass(enc.destination, (opcode >> 6) & 7, (opcode >> 9) & 7)) continue;
    ++e.accepting;
    e.outcome = enc.outcome;
    e.name = enc.name;
  }
  if (!supervisor && privileged) {
    e.outcome = Outcome::Privileged;
    e.name = privileged->name;
  }
  return e;
}

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::Runs:
      return "runs";
    case Outcome::Illegal:
      return "illegal (4)";
    case Outcome::Privileged:
      return "privilege (8)";
    case Outcome::LineA:
      return "line A (10)";
    case Outcome::LineF:
      return "line F (11)";
  }
  return "?";
}

// The fixed state: every register even and pointing into the low 16 KB,
// which is restored before each opcode, so that no operand faults and
// every write lands inside it. Extension words are 0, so the index word
// selects D0.W and every displacement and absolute address is 0.
class OpcodeSweep : public ::testing::TestWithParam<std::tuple<unsigned, bool>> {
 protected:
  static constexpr std::uint32_t kWindow = 0x4000;
  static constexpr std::uint32_t kSsp = 0x3C00, kUsp = 0x3E00;

  OpcodeSweep() : snapshot(f.m.memory.get(), f.m.memory.get() + kWindow) {}

  void Prepare(std::uint16_t opcode, bool supervisor) {
    std::memcpy(f.m.memory.get(), snapshot.data(), kWindow);
    test::Poke(f.m, test::FlatFixture::kCode, {opcode});
    CpuState& cpu = f.m.cpu;
    cpu = CpuState{};
    for (unsigned i = 0; i < 8; ++i) cpu.d(i) = 0x10 * (i + 1);
    for (unsigned i = 0; i < 7; ++i) cpu.a(i) = 0x3000 + 0x100 * i;
    cpu.s = supervisor;
    cpu.a(7) = supervisor ? kSsp : kUsp;
    cpu.otherSp = supervisor ? kUsp : kSsp;
    cpu.pc = test::FlatFixture::kCode;
  }

  // What the opcode did, judged by the vector whose handler the PC reached.
  // An exception taken at the opcode must have stacked the opcode's own
  // address and left the registers alone.
  Outcome Observe(std::string& trouble) {
    const CpuState& cpu = f.m.cpu;
    if (cpu.runState != RunState::Running) trouble += " runState not cleared;";
    const int vector = f.VectorTaken();
    if (vector == kVectorAddressError) trouble += " address error;";
    Outcome outcome;
    switch (vector) {
      case kVectorIllegal:
        outcome = Outcome::Illegal;
        break;
      case kVectorPrivilege:
        outcome = Outcome::Privileged;
        break;
      case kVectorLineA:
        outcome = Outcome::LineA;
        break;
      case kVectorLineF:
        outcome = Outcome::LineF;
        break;
      default:
        return Outcome::Runs;
    }
    if (test::PeekLong(f.m, cpu.a(7) + 2) != test::FlatFixture::kCode) trouble += " stacked PC not the opcode;";
    for (unsigned i = 0; i < 8; ++i) {
      if (cpu.d(i) != 0x10 * (i + 1)) trouble += " D" + std::to_string(i) + " changed;";
    }
    for (unsigned i = 0; i < 7; ++i) {
      if (cpu.a(i) != 0x3000 + 0x100 * i) trouble += " A" + std::to_string(i) + " changed;";
    }
    if (cpu.a(7) != kSsp - 6) trouble += " frame not at the supervisor stack;";
    return outcome;
  }

  test::FlatFixture f;
  std::vector<std::uint8_t> snapshot;
};

TEST_P(OpcodeSweep, EveryOpcodeOfTheLineRunsOrEntersItsVector) {
  const auto [line, supervisor] = GetParam();
  int failures = 0;
  for (unsigned low = 0; low < 0x1000; ++low) {
    const auto opcode = static_cast<std::uint16_t>(line << 12 | low);
    const Expectation expected = Expect(opcode, supervisor);
    ASSERT_LE(expected.accepting, 1) << "two encodings of the table accept " << std::hex << opcode;

    Prepare(opcode, supervisor);
    RunInstructions(f.m, 1, nullptr);
    std::string trouble;
    const Outcome actual = Observe(trouble);
    if (actual == expected.outcome && trouble.empty()) continue;
    if (++failures <= 12) {
      char opcodeText[8];
      std::snprintf(opcodeText, sizeof opcodeText, "%04x", opcode);
      ADD_FAILURE() << opcodeText << " (" << (expected.name ? expected.name : "no instruction") << ", "
                    << (supervisor ? "supervisor" : "user") << "): expected " << OutcomeName(expected.outcome)
                    << ", got " << OutcomeName(actual) << trouble;
    }
  }
  EXPECT_EQ(failures, 0) << "opcodes of line " << std::hex << line << " that went wrong";
}

INSTANTIATE_TEST_SUITE_P(AllLines, OpcodeSweep, ::testing::Combine(::testing::Range(0u, 16u), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<OpcodeSweep::ParamType>& info) {
                           char name[32];
                           std::snprintf(name, sizeof name, "Line%X%s", std::get<0>(info.param),
                                         std::get<1>(info.param) ? "Supervisor" : "User");
                           return std::string(name);
                         });

}  // namespace
}  // namespace pellux
