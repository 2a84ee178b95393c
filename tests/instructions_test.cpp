// Instruction behaviour the MC68000 vectors cannot show: the places where
// this core departs from the chip on purpose, refused encodings, and the
// address-fault rule of letting the instruction finish.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <ostream>
#include <vector>

#include "cpu/core.h"
#include "cpu/exceptions.h"
#include "cpu/run_loop.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::FlatFixture;
using test::PeekLong;
using test::PeekWord;
using test::Poke;

constexpr std::uint32_t kData = 0x10000;

// The flags as the low five bits of the status register: X N Z V C.
std::uint32_t Ccr(const CpuState& cpu) { return GetSR(cpu) & 0x1F; }

// A flat machine with code at kCode, stopped before its first instruction.
struct Program : FlatFixture {
  explicit Program(const std::vector<std::uint16_t>& code, std::uint32_t ccr = 0) {
    Load({});
    for (std::size_t i = 0; i < code.size(); ++i) Poke(m, kCode + 2 * i, {code[i]});
    SetCCR(m.cpu, ccr);
  }
  CpuState& cpu() { return m.cpu; }
  void Step() { ASSERT_EQ(RunInstructions(m, 1, nullptr), RunResult::Completed); }
  // The frame of the exception just taken: the SR word under the PC long.
  std::uint32_t StackedSr() const { return PeekWord(m, m.cpu.a(7)); }
  std::uint32_t StackedPc() const { return PeekLong(m, m.cpu.a(7) + 2); }
};

// A DBcc that branches to itself finishes its count in one step; the others
// are left to the vectors.
TEST(Dbcc, BranchToItselfCountsOutAtOnce) {
  struct Case {
    const char* what;
    std::uint16_t opcode;
    std::uint32_t ccr, d0, expectedD0;
  };
  const Case cases[] = {
      {"DBF, counter 5", 0x51C8, 0x00, 0x12340005, 0x1234FFFF},
      {"DBF, counter already 0", 0x51C8, 0x00, 0x12340000, 0x1234FFFF},
      {"DBEQ with Z = 0: the condition fails, so it counts", 0x57C8, 0x00, 0x00000003, 0x0000FFFF},
      {"DBNE with Z = 0: the condition holds, nothing counts", 0x56C8, 0x00, 0x00000003, 0x00000003},
      {"DBT never counts", 0x50C8, 0x00, 0x00000003, 0x00000003},
  };
  for (const Case& c : cases) {
    Program p({c.opcode, 0xFFFE, 0x4E71}, c.ccr);
    p.cpu().d(0) = c.d0;
    p.Step();
    EXPECT_EQ(p.cpu().d(0), c.expectedD0) << c.what;
    EXPECT_EQ(p.cpu().pc, FlatFixture::kCode + 4) << c.what;
    EXPECT_EQ(Ccr(p.cpu()), c.ccr) << c.what;
  }
}

// A machine that logs every data access, to see what an instruction does on
// the bus. 64 KB of RAM, mirrored; odd words and longs fault as on the real bus.
struct Access {
  char kind;  // 'r' or 'w'
  std::uint32_t address;
  unsigned size;
  bool operator==(const Access&) const = default;
};

void PrintTo(const Access& a, std::ostream* out) {
  *out << a.kind << std::hex << " 0x" << a.address << " size " << a.size;
}

struct RecordingMachine {
  static constexpr std::uint32_t kCode = 0x2000, kCodeEnd = 0x2010;
  CpuState cpu{};
  std::array<std::uint8_t, 0x10000> memory{};
  std::vector<Access> log;  // instruction fetches left out

  void Note(char kind, std::uint32_t address, unsigned size) {
    if (address < kCode || address >= kCodeEnd) log.push_back({kind, address, size});
  }
  bool Faults(std::uint32_t address) {
    if (!(address & 1)) return false;
    cpu.runState = RunState::AddressFault;
    return true;
  }
  std::uint8_t& At(std::uint32_t address) { return memory[address & 0xFFFF]; }
};

std::uint32_t ReadByte(RecordingMachine& m, std::uint32_t address) {
  m.Note('r', address, 1);
  return SignExtend8(m.At(address));
}
std::uint32_t ReadWord(RecordingMachine& m, std::uint32_t address) {
  m.Note('r', address, 2);
  if (m.Faults(address)) return 1;
  return SignExtend16(static_cast<std::uint32_t>(m.At(address)) << 8 | m.At(address + 1));
}
std::uint32_t ReadLong(RecordingMachine& m, std::uint32_t address) {
  m.Note('r', address, 4);
  if (m.Faults(address)) return 1;
  std::uint32_t value = 0;
  for (unsigned i = 0; i < 4; ++i) value = value << 8 | m.At(address + i);
  return value;
}
void WriteByte(RecordingMachine& m, std::uint32_t address, std::uint32_t value) {
  m.Note('w', address, 1);
  m.At(address) = static_cast<std::uint8_t>(value);
}
void WriteWord(RecordingMachine& m, std::uint32_t address, std::uint32_t value) {
  m.Note('w', address, 2);
  if (m.Faults(address)) return;
  m.At(address) = static_cast<std::uint8_t>(value >> 8);
  m.At(address + 1) = static_cast<std::uint8_t>(value);
}
void WriteLong(RecordingMachine& m, std::uint32_t address, std::uint32_t value) {
  m.Note('w', address, 4);
  if (m.Faults(address)) return;
  for (unsigned i = 0; i < 4; ++i) m.At(address + i) = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// Scc writes its byte without reading it first; ADDQ is the contrast that
// shows the log does see reads.
TEST(Scc, WritesMemoryWithoutReadingIt) {
  struct Case {
    const char* what;
    std::vector<std::uint16_t> code;
    std::vector<Access> expected;
    std::uint8_t byteAfter;
  };
  const Case cases[] = {
      {"ST (A0)", {0x50D0}, {{'w', 0x1000, 1}}, 0xFF},
      {"SF 4(A0)", {0x51E8, 0x0004}, {{'w', 0x1004, 1}}, 0x00},
      {"SEQ (A0)+ with Z = 0", {0x57D8}, {{'w', 0x1000, 1}}, 0x00},
      {"ADDQ.B #1,(A0)", {0x5210}, {{'r', 0x1000, 1}, {'w', 0x1000, 1}}, 0x5B},
  };
  for (const Case& c : cases) {
    RecordingMachine m;
    for (std::size_t i = 0; i < c.code.size(); ++i) {
      m.memory[RecordingMachine::kCode + 2 * i] = static_cast<std::uint8_t>(c.code[i] >> 8);
      m.memory[RecordingMachine::kCode + 2 * i + 1] = static_cast<std::uint8_t>(c.code[i]);
    }
    m.memory[0x1000] = m.memory[0x1004] = 0x5A;
    m.cpu.s = 1;
    m.cpu.a(7) = 0x8000;
    m.cpu.a(0) = 0x1000;
    m.cpu.pc = RecordingMachine::kCode;
    EXPECT_EQ(StepInstruction(m), RunState::Running) << c.what;
    EXPECT_EQ(m.log, c.expected) << c.what;
    EXPECT_EQ(m.memory[c.expected.back().address], c.byteAfter) << c.what;
  }
}

// The condition codes as the MC68000 manual gives them, over the flags the
// status register shows: T F HI LS CC CS NE EQ VC VS PL MI GE LT GT LE.
bool ManualCondition(unsigned cc, std::uint32_t ccr) {
  const bool c = ccr & 1, v = ccr & 2, z = ccr & 4, n = ccr & 8;
  const bool odd[8] = {false, c || z, c, z, v, n, n != v, z || n != v};
  return (cc & 1) ? odd[cc >> 1] : !odd[cc >> 1];
}

// Every condition, tested by Scc, after instructions that leave N and Z in
// their different stored forms (byte, word and long results, a zero with
// carry, overflow both ways) and after MOVE to CCR with each of the 16
// N Z V C combinations, N and Z both set among them.
TEST(Conditions, AgreeWithTheFlagsAfterEveryKindOfResult) {
  struct Setter {
    const char* what;
    std::vector<std::uint16_t> code;
    std::uint32_t d0, d1;
  };
  std::vector<Setter> setters = {
      {"TST.B of a zero byte under set bits", {0x4A00}, 0xFFFFFF00, 0},
      {"TST.B of a negative byte", {0x4A00}, 0x00000080, 0},
      {"TST.W of a zero word under set bits", {0x4A40}, 0x12340000, 0},
      {"TST.W of a negative word", {0x4A40}, 0x00008000, 0},
      {"TST.L of a positive long", {0x4A80}, 0x7FFFFFFF, 0},
      {"ADD.L to zero with a carry", {0xD081}, 0xFFFFFFFF, 1},
      {"CMP.L overflowing to positive", {0xB081}, 0x80000000, 1},
      {"CMP.L overflowing to negative", {0xB081}, 0x7FFFFFFF, 0xFFFFFFFF},
      {"CMP.L of equal longs", {0xB081}, 0x80000000, 0x80000000},
  };
  for (std::uint16_t nzvc = 0; nzvc < 16; ++nzvc) setters.push_back({"MOVE to CCR", {0x44FC, nzvc}, 0, 0});
  for (const Setter& setter : setters) {
    for (unsigned cc = 0; cc < 16; ++cc) {
      std::vector<std::uint16_t> code = setter.code;
      code.push_back(static_cast<std::uint16_t>(0x50C2 | cc << 8));  // Scc D2
      Program p(code);
      p.cpu().d(0) = setter.d0;
      p.cpu().d(1) = setter.d1;
      p.Step();
      const std::uint32_t ccr = Ccr(p.cpu());
      p.Step();
      const std::uint32_t expected = ManualCondition(cc, ccr) ? 0xFF : 0x00;
      EXPECT_EQ(p.cpu().d(2) & 0xFF, expected)
          << setter.what << " (d0 " << std::hex << setter.d0 << ", CCR " << ccr << "), condition " << std::dec << cc;
    }
  }
}

// Quotients that do not fit leave Dn and the undefined N and Z alone; a zero
// divisor takes vector 5 after the instruction with C cleared. 0x80000000 / -1
// is the one case a host division would trap on.
TEST(Divide, OverflowAndZeroDivisor) {
  struct Case {
    const char* what;
    std::vector<std::uint16_t> code;
    std::uint32_t d0, ccr, expectedD0, expectedCcr;
    int vector;  // -1: none
  };
  const Case cases[] = {
      {"DIVS #-1 of 0x80000000, N Z clear", {0x81FC, 0xFFFF}, 0x80000000, 0x00, 0x80000000, 0x02, -1},
      {"DIVS #-1 of 0x80000000, X N Z C set", {0x81FC, 0xFFFF}, 0x80000000, 0x1D, 0x80000000, 0x1E, -1},
      {"DIVS #2 of 0x7FFFFFFF", {0x81FC, 0x0002}, 0x7FFFFFFF, 0x08, 0x7FFFFFFF, 0x0A, -1},
      {"DIVU #2 of 0x00020001", {0x80FC, 0x0002}, 0x00020001, 0x0D, 0x00020001, 0x0E, -1},
      {"DIVU #0", {0x80FC, 0x0000}, 0x12345678, 0x1F, 0x12345678, 0x1E, kVectorZeroDivide},
      {"DIVS #0", {0x81FC, 0x0000}, 0x12345678, 0x01, 0x12345678, 0x00, kVectorZeroDivide},
      {"DIVU 16(A0) holding 0", {0x80E8, 0x0010}, 0x00000007, 0x0A, 0x00000007, 0x0A, kVectorZeroDivide},
  };
  for (const Case& c : cases) {
    Program p(c.code, c.ccr);
    p.cpu().d(0) = c.d0;
    p.cpu().a(0) = kData;
    p.Step();
    EXPECT_EQ(p.cpu().d(0), c.expectedD0) << c.what;
    if (c.vector < 0) {
      EXPECT_EQ(Ccr(p.cpu()), c.expectedCcr) << c.what;
      EXPECT_EQ(p.cpu().pc, FlatFixture::kCode + 4) << c.what;
    } else {
      EXPECT_EQ(p.VectorTaken(), c.vector) << c.what;
      EXPECT_EQ(p.StackedPc(), FlatFixture::kCode + 4) << c.what << ": the PC after the instruction";
      EXPECT_EQ(p.StackedSr(), 0x2000 | c.expectedCcr) << c.what;
    }
  }
}

// The decimal adjustment on bytes that are not packed BCD follows one fixed
// rule; N and V, undefined on the MC68000, keep their values; Z is only cleared.
TEST(Decimal, AdjustmentRuleAndFlags) {
  constexpr std::uint16_t kAbcd = 0xC101, kSbcd = 0x8101;  // D1,D0
  struct Case {
    const char* what;
    std::uint16_t opcode;
    std::uint32_t destination, source, ccr, expected, expectedCcr;
  };
  const Case cases[] = {
      {"ABCD 0x45 + 0x38", kAbcd, 0x45, 0x38, 0x0A, 0x83, 0x0A},
      {"ABCD 0x99 + 0x01, Z kept", kAbcd, 0x99, 0x01, 0x04, 0x00, 0x15},
      {"ABCD 0x0A + 0x00: low digit above 9", kAbcd, 0x0A, 0x00, 0x0E, 0x10, 0x0A},
      {"ABCD 0x9A + 0x00: both digits adjusted", kAbcd, 0x9A, 0x00, 0x04, 0x00, 0x15},
      {"ABCD 0xFF + 0x01: plain carry", kAbcd, 0xFF, 0x01, 0x00, 0x66, 0x11},
      {"ABCD 0x45 + 0x38 + X", kAbcd, 0x45, 0x38, 0x10, 0x84, 0x00},
      {"SBCD 0x00 - 0x01", kSbcd, 0x00, 0x01, 0x04, 0x99, 0x11},
      {"SBCD 0x10 - 0x09 - X: zero keeps Z", kSbcd, 0x10, 0x09, 0x14, 0x00, 0x04},
      {"SBCD 0x0A - 0x00: low digit above 9", kSbcd, 0x0A, 0x00, 0x0E, 0x04, 0x0A},
      {"SBCD 0xA0 - 0x00: above 0x99", kSbcd, 0xA0, 0x00, 0x00, 0x40, 0x11},
      {"SBCD 0x12 - 0x0F: the -6 step borrows", kSbcd, 0x12, 0x0F, 0x00, 0xFD, 0x11},
  };
  for (const Case& c : cases) {
    Program p({c.opcode}, c.ccr);
    p.cpu().d(0) = 0xABCDEF00 | c.destination;
    p.cpu().d(1) = 0x12345600 | c.source;
    p.Step();
    EXPECT_EQ(p.cpu().d(0), 0xABCDEF00 | c.expected) << c.what;
    EXPECT_EQ(Ccr(p.cpu()), c.expectedCcr) << c.what;
  }
}

// A faulting read yields 1 and the instruction finishes with it; a faulting
// write stores nothing; then vector 3 with the short frame and the PC after
// the instruction.
TEST(AddressFault, InstructionFinishesThenVector3) {
  constexpr std::uint32_t kOdd = kData + 1;
  struct Case {
    const char* what;
    std::uint16_t opcode;
    std::uint32_t d0, expectedD0, expectedA0, expectedCcr;
  };
  const Case cases[] = {
      {"MOVE.W (A0),D0", 0x3010, 0xFFFFFFFF, 0xFFFF0001, kOdd, 0x10},
      {"ADD.L (A0)+,D0", 0xD098, 5, 6, kOdd + 4, 0x00},
      {"MOVE.L D0,(A0)", 0x2080, 0x80000000, 0x80000000, kOdd, 0x18},
      {"DIVU.W (A0),D0", 0x80D0, 0x1234, 0x1234, kOdd, 0x10},
      {"ADDQ.W #1,(A0)", 0x5250, 7, 7, kOdd, 0x00},
      {"SUBX.W -(A0),-(A0)", 0x9148, 7, 7, kOdd - 4, 0x19},
  };
  for (const Case& c : cases) {
    Program p({c.opcode, 0x4E71}, 0x1F);
    Poke(p.m, kData - 4, {0x1111, 0x2222, 0x3333, 0x4444, 0x5555, 0x6666});
    p.cpu().d(0) = c.d0;
    p.cpu().a(0) = kOdd;
    p.Step();
    EXPECT_EQ(p.cpu().d(0), c.expectedD0) << c.what;
    EXPECT_EQ(p.cpu().a(0), c.expectedA0) << c.what;
    EXPECT_EQ(p.VectorTaken(), kVectorAddressError) << c.what;
    EXPECT_EQ(p.cpu().a(7), FlatFixture::kStack - 6) << c.what << ": the 6-byte frame";
    EXPECT_EQ(p.StackedPc(), FlatFixture::kCode + 2) << c.what;
    EXPECT_EQ(p.StackedSr(), 0x2000 | c.expectedCcr) << c.what;
    for (unsigned i = 0; i < 6; ++i) {
      EXPECT_EQ(PeekWord(p.m, kData - 4 + 2 * i), 0x1111u * (i + 1)) << c.what << ": memory written";
    }
  }
}

// A refused encoding is an illegal instruction at its own address that
// leaves no trace: no register step, no flag, no memory.
TEST(RefusedEncoding, LeavesNoTrace) {
  struct Case {
    const char* what;
    std::vector<std::uint16_t> code;
  };
  const Case cases[] = {
      {"MOVE.B A0,D0", {0x1008}},
      {"MOVE.B D0 to An", {0x1040}},
      {"MOVE.B D0 to mode 7 register 4", {0x19C0, 0x0010}},
      {"MOVE.B D0 to d16(PC)", {0x15C0, 0x0010}},
      {"MOVE.W (A1)+ to d8(PC,Xn): the source is not stepped", {0x37D9, 0x0000}},
      {"MOVE.L -(A2) to mode 7 register 5", {0x2BE2}},
      {"MOVE.W mode 7 register 5 to (A3)+", {0x36FD}},
      {"MOVEA.L mode 7 register 7 to A4", {0x287F}},
      {"ADDQ.B #1,A0", {0x5208}},
      {"SUBQ.B #8,A1", {0x5109}},
      {"ADDQ.W #1,d16(PC)", {0x527A, 0x0010}},
      {"ST to an immediate", {0x50FC, 0x0000}},
      {"CMP.B A0,D0", {0xB008}},
      {"ADD.W D0,d16(PC)", {0xD17A, 0x0010}},
      {"SUB.L D0,#imm", {0x91BC, 0x0000, 0x0000}},
      {"ADDA.W mode 7 register 5", {0xD0FD}},
      {"EOR.W D0,d16(PC)", {0xB17A, 0x0010}},
      {"OR.W A0,D0", {0x8048}},
      {"line 8 opmode 101 mode 000", {0x8140}},
      {"line 8 opmode 101 mode 001", {0x8148}},
      {"line 8 opmode 110 mode 000", {0x8180}},
      {"line 8 opmode 110 mode 001", {0x8188}},
      {"line C opmode 110 mode 000", {0xC180}},
      {"AND.B D0,#imm", {0xC13C, 0x0000}},
      {"MULU.W A0,D0", {0xC0C8}},
      {"DIVS.W A0,D0", {0x81C8}},
      {"MOVEQ with bit 8 set", {0x7100}},
  };
  for (const Case& c : cases) {
    Program p(c.code, 0x15);
    for (unsigned i = 0; i < 8; ++i) p.cpu().d(i) = 0x01010101 * (i + 1);
    for (unsigned i = 0; i < 7; ++i) p.cpu().a(i) = kData + 0x100 * i;
    for (std::uint32_t a = kData; a < kData + 0x800; a += 2)
      Poke(p.m, a, {static_cast<std::uint16_t>(a * 7)});
    const CpuState before = p.cpu();
    std::vector<std::uint8_t> memoryBefore(&p.m.memory[kData], &p.m.memory[kData + 0x800]);

    p.Step();
    EXPECT_EQ(p.VectorTaken(), kVectorIllegal) << c.what;
    EXPECT_EQ(p.StackedPc(), FlatFixture::kCode) << c.what;
    EXPECT_EQ(p.StackedSr(), 0x2015u) << c.what;
    EXPECT_EQ(std::memcmp(p.cpu().regs, before.regs, 15 * sizeof(std::uint32_t)), 0) << c.what;
    EXPECT_EQ(Ccr(p.cpu()), 0x15u) << c.what;
    EXPECT_EQ(std::memcmp(memoryBefore.data(), &p.m.memory[kData], memoryBefore.size()), 0) << c.what;
  }
}

}  // namespace
}  // namespace pellux
