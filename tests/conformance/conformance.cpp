#include "tests/conformance/conformance.h"

#include <cstdio>
#include <optional>

#include "cpu/core.h"
#include "cpu/exceptions.h"

namespace pellux::conformance {

namespace {

constexpr std::uint32_t kSrT = 0x8000, kSrS = 0x2000, kSrX = 0x10;
constexpr std::uint32_t kN = 0x08, kZ = 0x04, kV = 0x02, kC = 0x01;
constexpr unsigned kFunctionCodeSupervisorData = 5;

bool IsAbcd(unsigned op) { return (op & 0xF1F0) == 0xC100; }
bool IsSbcd(unsigned op) { return (op & 0xF1F0) == 0x8100; }
bool IsNbcd(unsigned op) { return (op & 0xFFC0) == 0x4800; }
bool IsDivuOrDivs(unsigned op) { return (op & 0xF1C0) == 0x80C0 || (op & 0xF1C0) == 0x81C0; }
bool IsChk(unsigned op) { return (op & 0xF1C0) == 0x4180; }
bool IsDbcc(unsigned op) { return (op & 0xF0F8) == 0x50C8; }
bool IsStop(unsigned op) { return op == 0x4E72; }
bool IsUnlkA7(unsigned op) { return op == 0x4E5F; }

// MOVE to SR, ANDI/EORI/ORI to SR, RTE and STOP.
bool WritesSr(unsigned op) {
  return (op & 0xFFC0) == 0x46C0 || op == 0x027C || op == 0x0A7C || op == 0x007C || op == 0x4E73 ||
         op == 0x4E72;
}

std::optional<std::uint8_t> InitialByte(const VectorState& state, std::uint32_t address) {
  address &= 0xFFFFFF;
  for (const RamWord& word : state.ram) {
    if (word.address == (address & ~1u)) {
      return static_cast<std::uint8_t>((address & 1) ? word.value : word.value >> 8);
    }
  }
  return std::nullopt;
}

// Our SBCD adjusts on "low nibble above 9 or half-borrow" and "above 0x99 or
// borrow"; the data adjusts on the borrows alone. They agree on valid BCD.
bool SbcdOperandsDisagree(const VectorTest& t) {
  const VectorState& in = t.initial;
  const unsigned op = in.prefetch[0];
  const unsigned rx = (op >> 9) & 7, ry = op & 7;
  const unsigned x = (in.sr & kSrX) ? 1 : 0;
  unsigned src, dst;
  if (!(op & 8)) {
    src = in.d[ry] & 0xFF;
    dst = in.d[rx] & 0xFF;
  } else {
    auto addressRegister = [&](unsigned r) { return r == 7 ? ((in.sr & kSrS) ? in.ssp : in.usp) : in.a[r]; };
    const std::uint32_t ay = addressRegister(ry) - (ry == 7 ? 2 : 1);
    std::uint32_t ax = (rx == ry ? ay : addressRegister(rx)) - (rx == 7 ? 2 : 1);
    const auto s = InitialByte(in, ay), d = InitialByte(in, ax);
    if (!s || !d) return false;
    src = *s;
    dst = *d;
  }
  const unsigned s = (dst - src - x) & 0xFF;
  const bool noHalfBorrow = (dst & 15) >= (src & 15) + x;
  const bool noBorrow = dst >= src + x;
  return ((s & 15) > 9 && noHalfBorrow) || (s > 0x99 && noBorrow);
}

// Why a test is a departure this core makes on purpose, or null.
const char* SkipReason(const VectorTest& t) {
  const unsigned op = t.initial.prefetch[0] & 0xFFFF;
  for (const Transaction& tr : t.transactions) {
    if (tr.kind == TransactionKind::ReadError || tr.kind == TransactionKind::WriteError) {
      return "address error: this core lets the instruction finish and stacks the short frame";
    }
  }
  if (IsDbcc(op) && (t.initial.prefetch[1] & 0xFFFF) == 0xFFFE) {
    return "DBcc to itself finishes its whole count in one step";
  }
  if ((t.initial.sr & kSrT) && (t.initial.sr & kSrS) && WritesSr(op)) {
    return "trace of an instruction that loads SR with T set";
  }
  if (IsUnlkA7(op)) {
    return "UNLK A7 leaves A7 4 above where it was; the data loads A7 from the stack";
  }
  if (IsSbcd(op) && SbcdOperandsDisagree(t)) {
    return "SBCD on operands that are not BCD follows this core's decimal rule";
  }
  return nullptr;
}

// The vector the test took, seen as the two supervisor-data reads of its
// table entry whose value (plus the prefetch distance) is the final PC.
std::optional<unsigned> ExceptionTaken(const VectorTest& t) {
  std::optional<unsigned> vector;
  const auto& trs = t.transactions;
  for (std::size_t i = 0; i < trs.size(); ++i) {
    const Transaction& high = trs[i];
    if (high.kind != TransactionKind::Read || high.functionCode != kFunctionCodeSupervisorData ||
        high.address >= 0x400 || (high.address & 3)) {
      continue;
    }
    for (std::size_t j = i + 1; j < trs.size(); ++j) {
      const Transaction& low = trs[j];
      if (low.kind == TransactionKind::Read && low.functionCode == kFunctionCodeSupervisorData &&
          low.address == high.address + 2) {
        const std::uint32_t handler = (high.data & 0xFFFF) << 16 | (low.data & 0xFFFF);
        if (handler + 4 == t.final.pc) vector = high.address / 4;
        break;
      }
    }
  }
  return vector;
}

// Flags the MC68000 leaves undefined and this core keeps.
struct Masks {
  std::uint32_t sr = 0;
  bool stackedSrToo = false;
};

Masks UndefinedFlags(const VectorTest& t, std::optional<unsigned> vector) {
  const unsigned op = t.initial.prefetch[0] & 0xFFFF;
  if (IsAbcd(op) || IsSbcd(op) || IsNbcd(op)) return {kN | kV, false};
  if (IsDivuOrDivs(op)) {
    if (vector == kVectorZeroDivide) return {kN | kZ | kV, true};
    if (!vector && (t.final.sr & kV)) return {kN | kZ, false};
  }
  if (IsChk(op)) {
    if (vector == kVectorChk) return {kZ | kV | kC, true};
    if (!vector) return {kN | kZ | kV | kC, false};
  }
  return {};
}

void StoreWord(FlatMachine& m, std::uint32_t address, std::uint32_t value) {
  address &= FlatMachine::kAddressMask & ~1u;
  m.memory[address] = static_cast<std::uint8_t>(value >> 8);
  m.memory[address + 1] = static_cast<std::uint8_t>(value);
}

std::uint32_t LoadWord(const FlatMachine& m, std::uint32_t address) {
  address &= FlatMachine::kAddressMask & ~1u;
  return static_cast<std::uint32_t>(m.memory[address]) << 8 | m.memory[address + 1];
}

void SetUp(FlatMachine& m, const VectorState& in) {
  for (const RamWord& word : in.ram) StoreWord(m, word.address, word.value);
  StoreWord(m, in.pc - 4, in.prefetch[0]);
  StoreWord(m, in.pc - 2, in.prefetch[1]);

  CpuState& cpu = m.cpu;
  cpu = CpuState{};
  for (unsigned i = 0; i < 8; ++i) cpu.d(i) = in.d[i];
  for (unsigned i = 0; i < 7; ++i) cpu.a(i) = in.a[i];
  // Loaded directly, not through SetSR, which would switch stacks and arm the trace.
  SetCCR(cpu, in.sr);
  cpu.intMask = (in.sr >> 8) & 7;
  cpu.s = (in.sr & kSrS) != 0;
  cpu.t = (in.sr & kSrT) != 0;
  cpu.a(7) = cpu.s ? in.ssp : in.usp;
  cpu.otherSp = cpu.s ? in.usp : in.ssp;
  cpu.pc = in.pc - 4;
}

void Clear(FlatMachine& m, const VectorTest& t) {
  for (const VectorState* state : {&t.initial, &t.final}) {
    for (const RamWord& word : state->ram) StoreWord(m, word.address, 0);
    StoreWord(m, state->pc - 4, 0);
    StoreWord(m, state->pc - 2, 0);
  }
}

void Expect(std::string& detail, const char* what, std::uint32_t expected, std::uint32_t actual) {
  if (expected == actual) return;
  char line[96];
  std::snprintf(line, sizeof line, "%s%s expected %08x got %08x", detail.empty() ? "" : "; ", what, expected,
                actual);
  detail += line;
}

}  // namespace

Outcome RunVector(FlatMachine& m, const VectorTest& t) {
  if (const char* reason = SkipReason(t)) return {Verdict::Skipped, reason};

  SetUp(m, t.initial);
  const RunState ended = StepInstruction(m);
  const std::optional<unsigned> vector = ExceptionTaken(t);
  const Masks masks = UndefinedFlags(t, vector);
  const VectorState& out = t.final;
  const CpuState& cpu = m.cpu;
  std::string detail;

  char name[8];
  for (unsigned i = 0; i < 8; ++i) {
    std::snprintf(name, sizeof name, "d%u", i);
    Expect(detail, name, out.d[i], cpu.d(i));
  }
  for (unsigned i = 0; i < 7; ++i) {
    std::snprintf(name, sizeof name, "a%u", i);
    Expect(detail, name, out.a[i], cpu.a(i));
  }
  const bool finalS = (out.sr & kSrS) != 0;
  Expect(detail, "usp", out.usp, finalS ? cpu.otherSp : cpu.a(7));
  Expect(detail, "ssp", out.ssp, finalS ? cpu.a(7) : cpu.otherSp);
  Expect(detail, "sr", out.sr & ~masks.sr, GetSR(cpu) & ~masks.sr);

  // STOP stays put in the data; this core leaves its PC past the instruction.
  const bool stopped = IsStop(t.initial.prefetch[0] & 0xFFFF) && !vector;
  Expect(detail, "pc", stopped ? out.pc : out.pc - 4, cpu.pc);
  if (stopped && ended != RunState::StopRequest) detail += "; STOP did not stop";

  const std::uint32_t stackedSr = out.ssp & FlatMachine::kAddressMask & ~1u;
  for (const RamWord& word : out.ram) {
    std::uint32_t mask = 0xFFFF;
    if (masks.stackedSrToo && word.address == stackedSr) mask &= ~masks.sr;
    char what[24];
    std::snprintf(what, sizeof what, "mem[%06x]", word.address);
    Expect(detail, what, word.value & mask, LoadWord(m, word.address) & mask);
  }

  Clear(m, t);
  if (!detail.empty()) return {Verdict::Failed, detail};
  return {Verdict::Passed, {}};
}

}  // namespace pellux::conformance
