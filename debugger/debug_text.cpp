#include "debugger/debug_text.h"

#include <cstdio>

#include "cpu/exceptions.h"
#include "debugger/numbers.h"
#include "debugger/symbols.h"

namespace pellux {

namespace {

std::string Hex(std::uint32_t value, int digits) {
  char text[12];
  std::snprintf(text, sizeof text, "%.*x", digits, static_cast<unsigned>(value));
  return text;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string Quoted(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted.push_back('"');
  quoted.append(text);
  quoted.push_back('"');
  return quoted;
}

}  // namespace

std::uint32_t RegisterValue(const CpuState& cpu, RegisterId id) {
  const auto index = static_cast<unsigned>(id);
  switch (id) {
    case RegisterId::Pc:
      return cpu.pc;
    case RegisterId::Sr:
      return ReadSystemRegister(cpu, SystemRegister::Sr);
    case RegisterId::Usp:
      return ReadSystemRegister(cpu, SystemRegister::Usp);
    case RegisterId::Ssp:
      return ReadSystemRegister(cpu, SystemRegister::Ssp);
    default:
      return cpu.regs[index & 15];
  }
}

void SetRegister(CpuState& cpu, RegisterId id, std::uint32_t value) {
  switch (id) {
    case RegisterId::Pc:
      cpu.pc = value;
      return;
    case RegisterId::Sr:
      WriteSystemRegister(cpu, SystemRegister::Sr, value);
      return;
    case RegisterId::Usp:
      WriteSystemRegister(cpu, SystemRegister::Usp, value);
      return;
    case RegisterId::Ssp:
      WriteSystemRegister(cpu, SystemRegister::Ssp, value);
      return;
    default:
      cpu.regs[static_cast<unsigned>(id) & 15] = value;
  }
}

int RegisterDigits(RegisterId id) { return id == RegisterId::Sr ? 4 : 8; }

std::string RegisterLine(std::string_view label, std::uint32_t value) { return std::string(label) + Hex(value, 8); }

std::vector<RegisterRow> RegisterRows(const CpuState& cpu) {
  std::vector<RegisterRow> rows;
  char line[32];
  auto add = [&](const char* label, RegisterId id) {
    std::snprintf(line, sizeof line, "%s:%.*x", label, RegisterDigits(id),
                  static_cast<unsigned>(RegisterValue(cpu, id)));
    rows.push_back({line, id});
  };
  for (unsigned i = 0; i < 16; ++i) {
    char label[4];
    std::snprintf(label, sizeof label, "%c%u", i < 8 ? 'D' : 'A', i % 8);
    add(label, static_cast<RegisterId>(i));
  }
  add("PC", RegisterId::Pc);
  add("SR", RegisterId::Sr);
  auto bit = [](unsigned flag) { return (flag & 1) ? '1' : '0'; };
  std::snprintf(line, sizeof line, "T:%c S:%c Mask:%u", bit(cpu.t), bit(cpu.s), cpu.intMask & 7u);
  rows.push_back({line, std::nullopt});
  std::snprintf(line, sizeof line, "C:%c V:%c Z:%c N:%c X:%c", bit(cpu.FlagC()), bit(cpu.FlagV()),
                bit(cpu.FlagZ()), bit(cpu.FlagN()), bit(cpu.FlagX()));
  rows.push_back({line, std::nullopt});
  add("USP", RegisterId::Usp);
  add("SSP", RegisterId::Ssp);
  return rows;
}

std::string MemoryLine(std::uint32_t address, std::span<const std::uint8_t, kMemoryLineBytes> bytes) {
  char line[96];
  int at = std::snprintf(line, sizeof line, "%.6x:", static_cast<unsigned>(address & 0xFFFFFF));
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    at += std::snprintf(line + at, sizeof line - static_cast<std::size_t>(at), i == 8 ? "  %.2x" : " %.2x",
                        static_cast<unsigned>(bytes[i]));
  }
  line[at++] = ' ';
  line[at++] = ' ';
  for (const std::uint8_t byte : bytes) line[at++] = byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.';
  return std::string(line, static_cast<std::size_t>(at));
}

AddressEntry ParseAddressEntry(std::string_view text, const SymbolTable& symbols) {
  text = Trimmed(text);
  if (text.empty()) return Fail("Type a hex address or a symbol's name.");
  if (const std::optional<std::uint32_t> value = ParseTypedHex(text)) return *value;
  std::string_view name = text;
  std::uint32_t offset = 0;
  if (const std::size_t plus = text.find('+'); plus != std::string_view::npos) {
    const std::optional<std::uint32_t> parsed = ParseTypedHex(text.substr(plus + 1));
    if (!parsed) return Fail(Quoted(text).append(": the offset after + is not hex."));
    name = Trimmed(text.substr(0, plus));
    offset = *parsed;
  }
  if (const Symbol* symbol = symbols.Find(name)) return symbol->address + offset;
  if (symbols.empty()) {
    return Fail(Quoted(text).append(" is not a hex address (no symbols are loaded)."));
  }
  return Fail(Quoted(text).append(" is neither a hex address nor a known symbol."));
}

std::string BreakpointLine(std::uint32_t address) { return Hex(address, 8); }

std::string BreakpointWarning(std::uint32_t address) {
  std::string warning;
  if (address & 1) {
    warning = Hex(address, 8) +
              " is odd: instructions start at even addresses, so the processor never stops there.";
  }
  if (address > 0xFFFFFF) {
    if (!warning.empty()) warning += ' ';
    warning += Hex(address, 8) +
               " is beyond 00ffffff, the last address of the processor's 24 address lines: "
               "code there runs from " +
               Hex(address & 0xFFFFFF, 8) +
               ", and the processor stops here only after a jump that set the top bits.";
  }
  return warning;
}

}  // namespace pellux
