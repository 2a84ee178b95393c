#include "debugger/gdb_stub.h"

#include <algorithm>
#include <array>
#include <functional>
#include <initializer_list>
#include <utility>

#include "cpu/exceptions.h"
#include "debugger/numbers.h"
#include "machine/calculator.h"
#include "machine/driver.h"
#include "machine/memory_bus.h"
#include "machine/watched_core.h"

namespace pellux::gdb {

namespace {

constexpr unsigned kRegisterCount = 18;
constexpr unsigned kRegisterPs = 16;
constexpr unsigned kRegisterPc = 17;

// The most memory one 'm' reply carries: two hex digits a byte.
constexpr std::uint32_t kMaxReadBytes = kMaxPayload / 2;

constexpr std::string_view kTargetXml =
    "<?xml version=\"1.0\"?>\n"
    "<!DOCTYPE target SYSTEM \"gdb-target.dtd\">\n"
    "<target version=\"1.0\">\n"
    "  <architecture>m68k:68000</architecture>\n"
    "  <feature name=\"org.gnu.gdb.m68k.core\">\n"
    "    <reg name=\"d0\" bitsize=\"32\"/>\n"
    "    <reg name=\"d1\" bitsize=\"32\"/>\n"
    "    <reg name=\"d2\" bitsize=\"32\"/>\n"
    "    <reg name=\"d3\" bitsize=\"32\"/>\n"
    "    <reg name=\"d4\" bitsize=\"32\"/>\n"
    "    <reg name=\"d5\" bitsize=\"32\"/>\n"
    "    <reg name=\"d6\" bitsize=\"32\"/>\n"
    "    <reg name=\"d7\" bitsize=\"32\"/>\n"
    "    <reg name=\"a0\" bitsize=\"32\" type=\"data_ptr\"/>\n"
    "    <reg name=\"a1\" bitsize=\"32\" type=\"data_ptr\"/>\n"
    "    <reg name=\"a2\" bitsize=\"32\" type=\"data_ptr\"/>\n"
    "    <reg name=\"a3\" bitsize=\"32\" type=\"data_ptr\"/>\n"
    "    <reg name=\"a4\" bitsize=\"32\" type=\"data_ptr\"/>\n"
    "    <reg name=\"a5\" bitsize=\"32\" type=\"data_ptr\"/>\n"
    "    <reg name=\"fp\" bitsize=\"32\" type=\"data_ptr\"/>\n"
    "    <reg name=\"sp\" bitsize=\"32\" type=\"data_ptr\"/>\n"
    "    <reg name=\"ps\" bitsize=\"32\"/>\n"
    "    <reg name=\"pc\" bitsize=\"32\" type=\"code_ptr\"/>\n"
    "  </feature>\n"
    "</target>\n";

// The exceptions the debugger can catch ("monitor catch NAME"), and the
// signal each stops with. A privilege violation is an illegal instruction
// for the program that made it, as on other 68000 systems.
struct CatchableException {
  std::string_view name;
  unsigned vector;
  int signal;
};
constexpr std::array<CatchableException, 4> kCatchable = {{
    {"illegal", kVectorIllegal, signal::kIll},
    {"address", kVectorAddressError, signal::kBus},
    {"zero-divide", kVectorZeroDivide, signal::kFpe},
    {"privilege", kVectorPrivilege, signal::kIll},
}};

// The signal a caught exception stops with, by the vector the core raised.
int SignalOf(unsigned vector) {
  const auto it = std::find_if(kCatchable.begin(), kCatchable.end(),
                               [&](const CatchableException& e) { return e.vector == vector; });
  return it != kCatchable.end() ? it->signal : signal::kTrap;
}

constexpr std::string_view kMonitorHelp =
    "Commands:\n"
    "  catch                 list the exceptions caught\n"
    "  catch NAME...         stop before these exceptions reach the program:\n"
    "                        illegal (SIGILL), address (SIGBUS), zero-divide (SIGFPE),\n"
    "                        privilege (SIGILL), all, none\n";

constexpr std::string_view kError = "E01";

// How much of an unknown name "monitor catch NAME" repeats.
constexpr std::size_t kLongestQuotedName = 40;

std::string StopReply(int signal, std::string_view extra = {}) {
  const char digits[] = "0123456789abcdef";
  std::string reply = "T";
  reply.push_back(digits[(signal >> 4) & 15]);
  reply.push_back(digits[signal & 15]);
  reply += extra;
  reply += "thread:1;";
  return reply;
}

// Joined pieces: GCC 12 warns falsely about "literal" + std::string.
std::string Concat(std::initializer_list<std::string_view> pieces) {
  std::string text;
  for (const std::string_view piece : pieces) text.append(piece);
  return text;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// "ADDR,LENGTH" as two hex numbers; the range may not wrap past 2^32.
std::optional<std::pair<std::uint32_t, std::uint32_t>> ParseRange(std::string_view text) {
  const auto parts = Split(text, ',');
  if (parts.size() != 2) return std::nullopt;
  const auto address = ParseHex(parts[0]);
  const auto length = ParseHex(parts[1]);
  if (!address || !length) return std::nullopt;
  if (*length > 0 && *address + (*length - 1) < *address) return std::nullopt;
  return std::pair{*address, *length};
}

std::uint32_t ReadRegisterValue(const CpuState& cpu, unsigned n) {
  if (n < 16) return cpu.regs[n];
  return n == kRegisterPs ? ReadSystemRegister(cpu, SystemRegister::Sr) : cpu.pc;
}

void WriteRegisterValue(CpuState& cpu, unsigned n, std::uint32_t value) {
  if (n < 16) {
    cpu.regs[n] = value;
  } else if (n == kRegisterPs) {
    WriteSystemRegister(cpu, SystemRegister::Sr, value);
  } else {
    cpu.pc = value;
  }
}

std::optional<std::uint32_t> ParseRegisterValue(std::string_view hex) {
  const auto bytes = ParseHexBytes(hex);
  if (!bytes || bytes->size() != 4) return std::nullopt;
  return static_cast<std::uint32_t>((*bytes)[0]) << 24 | (*bytes)[1] << 16 | (*bytes)[2] << 8 | (*bytes)[3];
}

}  // namespace

Stub::Stub(Calculator& calc) : calc_(calc), lastStop_(StopReply(signal::kTrap)) {}

Stub::~Stub() { RemoveAll(); }

std::size_t Stub::ReceiveOne(std::string_view bytes) {
  std::vector<PacketEvent> events;
  const std::size_t used = reader_.FeedOne(bytes, events);
  for (PacketEvent& event : events) {
    if (!ended_) Handle(event);
  }
  return used;
}

void Stub::Handle(PacketEvent& event) {
  switch (event.kind) {
    case PacketEvent::Kind::Packet:
      if (!noAck_) output_ += '+';
      HandlePacket(event.payload);
      break;
    case PacketEvent::Kind::Interrupt:
      Interrupt();
      break;
    case PacketEvent::Kind::Nack:
      output_ += lastSent_;
      break;
    case PacketEvent::Kind::Ack:
      break;
    case PacketEvent::Kind::BadChecksum:
    case PacketEvent::Kind::Oversized:
      // With acknowledgements the debugger sends it again; without, it
      // waits for an answer, which is an error.
      if (noAck_) {
        Send(kError);
      } else {
        output_ += '-';
      }
      break;
  }
}

void Stub::Interrupt() {
  if (!ended_ && resume_ != Resume::Halted) Stop(StopReply(signal::kInt));
}

std::string Stub::TakeOutput() { return std::exchange(output_, {}); }

void Stub::Send(std::string_view payload) {
  lastSent_ = FramePacket(payload);
  output_ += lastSent_;
}

void Stub::HandlePacket(const std::string& packet) {
  if (packet == "QStartNoAckMode") {
    Send("OK");
    noAck_ = true;
    return;
  }
  if (packet == "D" || StartsWith(packet, "D;")) {
    Send("OK");
    RemoveAll();
    ended_ = true;
    return;
  }
  if (packet == "k" || StartsWith(packet, "vKill")) {
    if (packet != "k") Send("OK");  // 'k' has no reply
    RemoveAll();
    ended_ = killed_ = true;
    return;
  }
  const char kind = packet.empty() ? '\0' : packet[0];
  if (kind == 'c' || kind == 'C' || kind == 's' || kind == 'S' || StartsWith(packet, "vCont;")) {
    const std::string reply = ResumeWith(packet);
    if (!reply.empty()) Send(reply);
    return;
  }
  Send(Answer(packet));
}

std::string Stub::Answer(std::string_view packet) {
  if (packet.empty()) return "";
  const std::string_view rest = packet.substr(1);
  switch (packet[0]) {
    case '?':
      return lastStop_;
    case 'g':
      return ReadRegisters();
    case 'G':
      return WriteRegisters(rest);
    case 'p':
      return ReadRegister(rest);
    case 'P':
      return WriteRegister(rest);
    case 'm':
      return ReadMemory(rest);
    case 'M':
      return WriteMemory(rest, false);
    case 'X':
      return WriteMemory(rest, true);
    case 'Z':
      return SetPoint(rest, true);
    case 'z':
      return SetPoint(rest, false);
    case 'H':
      return "OK";  // one thread: every thread id names it
    case 'T':
      return rest == "1" || rest == "p1.1" || rest == "-1" ? "OK" : std::string(kError);
    case 'q':
      return Query(packet);
    case 'v':
      if (packet == "vCont?") return "vCont;c;C;s;S";
      return "";
    default:
      return "";
  }
}

std::string Stub::Query(std::string_view packet) {
  if (StartsWith(packet, "qSupported")) {
    return "PacketSize=4000;QStartNoAckMode+;qXfer:features:read+;vContSupported+";
  }
  if (StartsWith(packet, "qXfer:features:read:")) {
    // qXfer:features:read:ANNEX:OFFSET,LENGTH
    const std::string_view arguments = packet.substr(std::string_view("qXfer:features:read:").size());
    const std::size_t colon = arguments.find(':');
    if (colon == std::string_view::npos) return std::string(kError);
    if (arguments.substr(0, colon) != "target.xml") return "E00";
    const auto range = ParseRange(arguments.substr(colon + 1));
    if (!range) return std::string(kError);
    const auto [offset, length] = *range;
    if (offset >= kTargetXml.size()) return "l";
    // Escaped, each byte may take two in the reply, after its 'l' or 'm'.
    const std::size_t count =
        std::min<std::size_t>({length, kTargetXml.size() - offset, (kMaxPayload - 1) / 2});
    const bool last = offset + count == kTargetXml.size();
    return Concat({last ? "l" : "m", EscapeBinary(kTargetXml.substr(offset, count))});
  }
  if (packet == "qAttached") return "1";  // quitting gdb detaches, the machine lives on
  if (packet == "qC") return "QC1";
  if (packet == "qfThreadInfo") return "m1";
  if (packet == "qsThreadInfo") return "l";
  if (StartsWith(packet, "qSymbol")) return "OK";
  if (StartsWith(packet, "qRcmd,")) {
    const auto command = ParseHexBytes(packet.substr(6));
    if (!command) return std::string(kError);
    return Monitor(std::string_view(reinterpret_cast<const char*>(command->data()), command->size()));
  }
  return "";
}

// "monitor ..." in gdb. The text it prints goes out as 'O' packets first.
std::string Stub::Monitor(std::string_view command) {
  const std::vector<std::string_view> words = [&] {
    std::vector<std::string_view> list;
    for (std::string_view word : Split(command, ' ')) {
      if (!word.empty()) list.push_back(word);
    }
    return list;
  }();
  std::string text;
  if (words.empty() || words[0] != "catch") {
    text = words.empty() || words[0] == "help" ? std::string(kMonitorHelp)
                                               : Concat({"Unknown monitor command.\n", kMonitorHelp});
  } else {
    std::uint64_t caught = calc_.watch.caughtVectors;
    for (std::size_t i = 1; i < words.size(); ++i) {
      if (words[i] == "none" || words[i] == "all") {
        caught = 0;
        if (words[i] == "all") {
          for (const CatchableException& e : kCatchable) caught |= std::uint64_t{1} << e.vector;
        }
        continue;
      }
      const auto it = std::find_if(kCatchable.begin(), kCatchable.end(),
                                   [&](const CatchableException& e) { return e.name == words[i]; });
      if (it == kCatchable.end()) {
        // The name is quoted only in part, so that the text fits in a packet.
        const std::string_view name = words[i].substr(0, kLongestQuotedName);
        Send(Concat({"O", HexBytes(Concat({"No exception called '", name, "'.\n", kMonitorHelp}))}));
        return "OK";
      }
      caught |= std::uint64_t{1} << it->vector;
    }
    calc_.watch.caughtVectors = caught;
    text = "Caught:";
    for (const CatchableException& e : kCatchable) {
      if (caught >> e.vector & 1) text.append(" ").append(e.name);
    }
    if (caught == 0) text += " none";
    text += "\n";
  }
  Send(Concat({"O", HexBytes(text)}));
  return "OK";
}

std::string Stub::ReadRegisters() const {
  std::string reply;
  for (unsigned n = 0; n < kRegisterCount; ++n) reply += HexLong(ReadRegisterValue(calc_.cpu, n));
  return reply;
}

std::string Stub::WriteRegisters(std::string_view hex) {
  if (hex.size() != kRegisterCount * 8) return std::string(kError);
  std::array<std::uint32_t, kRegisterCount> values{};
  for (unsigned n = 0; n < kRegisterCount; ++n) {
    const auto value = ParseRegisterValue(hex.substr(n * 8, 8));
    if (!value) return std::string(kError);
    values[n] = *value;
  }
  // The status register first, so that sp lands in the stack it selects.
  WriteRegisterValue(calc_.cpu, kRegisterPs, values[kRegisterPs]);
  for (unsigned n = 0; n < kRegisterCount; ++n) {
    if (n != kRegisterPs) WriteRegisterValue(calc_.cpu, n, values[n]);
  }
  return "OK";
}

std::string Stub::ReadRegister(std::string_view number) const {
  const auto n = ParseHex(number);
  if (!n || *n >= kRegisterCount) return std::string(kError);
  return HexLong(ReadRegisterValue(calc_.cpu, *n));
}

std::string Stub::WriteRegister(std::string_view assignment) {
  const std::size_t equals = assignment.find('=');
  if (equals == std::string_view::npos) return std::string(kError);
  const auto n = ParseHex(assignment.substr(0, equals));
  const auto value = ParseRegisterValue(assignment.substr(equals + 1));
  if (!n || *n >= kRegisterCount || !value) return std::string(kError);
  WriteRegisterValue(calc_.cpu, *n, *value);
  return "OK";
}

std::string Stub::ReadMemory(std::string_view arguments) const {
  const auto range = ParseRange(arguments);
  if (!range || range->second == 0) return std::string(kError);
  // A longer read gets what fits; the debugger asks again for the rest.
  const std::uint32_t count = std::min(range->second, kMaxReadBytes);
  std::vector<std::uint8_t> bytes(count);
  for (std::uint32_t i = 0; i < count; ++i) bytes[i] = PeekByte(calc_, range->first + i);
  return HexBytes(bytes);
}

std::string Stub::WriteMemory(std::string_view arguments, bool binary) {
  const std::size_t colon = arguments.find(':');
  if (colon == std::string_view::npos) return std::string(kError);
  const auto range = ParseRange(arguments.substr(0, colon));
  const std::string_view data = arguments.substr(colon + 1);
  const auto bytes = binary ? UnescapeBinary(data) : ParseHexBytes(data);
  if (!range || !bytes || bytes->size() != range->second) return std::string(kError);
  // All or nothing: the empty region between RAM and flash, and ports whose
  // writes act or are ignored, take nothing.
  return PokeBytes(calc_, range->first, *bytes) ? "OK" : std::string(kError);
}

// Z/z TYPE,ADDR,KIND: 0 and 1 breakpoints (KIND the instruction size), 2
// write, 3 read and 4 access watchpoints (KIND the length in bytes).
std::string Stub::SetPoint(std::string_view arguments, bool insert) {
  const auto parts = Split(arguments, ',');
  if (parts.size() < 3) return std::string(kError);
  const auto type = ParseHex(parts[0]);
  const auto address = ParseHex(parts[1]);
  const auto kind = ParseHex(Split(parts[2], ';')[0]);
  if (!type || !address || !kind) return std::string(kError);
  if (*type <= 1) {
    if (insert) {
      calc_.breakpoints.Add(*address, BreakpointOwner::Gdb);
    } else {
      calc_.breakpoints.Remove(*address, BreakpointOwner::Gdb);
    }
    return "OK";
  }
  if (*type > 4) return "";
  if (*kind == 0) return std::string(kError);
  const Watchpoint point{*address, *kind,
                         *type == 2   ? WatchKind::Write
                         : *type == 3 ? WatchKind::Read
                                      : WatchKind::Access};
  if (insert) {
    calc_.watch.Insert(point);
  } else {
    calc_.watch.Remove(point);
  }
  return "OK";
}

// c [ADDR], C SIG[;ADDR], s [ADDR], S SIG[;ADDR], vCont;ACTION[:THREAD]...
// With one thread, the first action that applies to it decides. Answers an
// error for a malformed request, else nothing: the reply is the stop.
std::string Stub::ResumeWith(std::string_view packet) {
  std::string_view action;
  if (StartsWith(packet, "vCont;")) {
    for (std::string_view item : Split(packet.substr(6), ';')) {
      const std::size_t colon = item.find(':');
      const std::string_view thread = colon == std::string_view::npos ? "" : item.substr(colon + 1);
      if (thread.empty() || thread == "-1" || thread == "1" || thread == "p1.1" || thread == "p1.-1") {
        action = item.substr(0, colon);
        break;
      }
    }
    if (action.empty()) return std::string(kError);
  } else {
    action = packet;
    // c ADDR and s ADDR resume at an address.
    const char letter = action[0];
    std::string_view address = action.substr(1);
    if (letter == 'C' || letter == 'S') {
      const std::size_t semicolon = address.find(';');
      address = semicolon == std::string_view::npos ? "" : address.substr(semicolon + 1);
      action = action.substr(0, std::min(action.size(), action.find(';')));
    }
    if (!address.empty()) {
      const auto pc = ParseHex(address);
      if (!pc) return std::string(kError);
      calc_.cpu.pc = *pc;
    }
    if (letter == 'c' || letter == 's') action = action.substr(0, 1);
  }
  const char letter = action[0];
  std::optional<int> signal;
  if (letter == 'C' || letter == 'S') {
    const auto number = ParseHex(action.substr(1));
    if (!number || *number > 0xFF) return std::string(kError);
    signal = static_cast<int>(*number);
  } else if ((letter != 'c' && letter != 's') || action.size() != 1) {
    return std::string(kError);
  }
  Go(letter == 's' || letter == 'S' ? Resume::Step : Resume::Continue, signal);
  return "";
}

void Stub::Go(Resume how, std::optional<int> signal) {
  // Passing on the signal of a caught exception lets the program have it.
  if (signal && lastCaught_ && SignalOf(*lastCaught_) == *signal) calc_.watch.passVector = *lastCaught_;
  lastCaught_.reset();
  calc_.watch.stop.reset();
  resume_ = how;
}

void Stub::Stop(std::string reply) {
  resume_ = Resume::Halted;
  lastStop_ = std::move(reply);
  Send(lastStop_);
}

void Stub::ReportStop(StopReason why) {
  if (ended_ || resume_ == Resume::Halted) return;
  // What the watch recorded of a watch stop: the vector, the watchpoint.
  const std::optional<WatchStop> stop = std::exchange(calc_.watch.stop, std::nullopt);
  if (why == StopReason::Exception && stop) {
    lastCaught_ = stop->vector;
    Stop(StopReply(SignalOf(stop->vector)));
    return;
  }
  // A breakpoint, a step: the debugger's own trap.
  if (why != StopReason::Watchpoint || !stop) {
    Stop(StopReply(signal::kTrap));
    return;
  }
  const std::string_view name = stop->watchpoint.kind == WatchKind::Write  ? "watch:"
                                : stop->watchpoint.kind == WatchKind::Read ? "rwatch:"
                                                                           : "awatch:";
  Stop(StopReply(signal::kTrap, Concat({name, HexLong(stop->address), ";"})));
}

void Stub::ReportExit(int status) {
  if (ended_) return;
  const char digits[] = "0123456789abcdef";
  const char reply[] = {'W', digits[(status >> 4) & 15], digits[status & 15]};
  Send(std::string_view(reply, sizeof reply));
  RemoveAll();
  ended_ = true;
  resume_ = Resume::Halted;
}

void Stub::Disconnect() {
  RemoveAll();
  ended_ = true;
  resume_ = Resume::Halted;
}

void Advance(Stub& stub, Driver& driver, const std::function<StopReason()>& pass) {
  switch (stub.resume()) {
    case Resume::Halted:
      return;
    case Resume::Continue:
      if (const StopReason why = pass(); IsDebugStop(why)) stub.ReportStop(why);
      return;
    case Resume::Step:
      break;
  }
  if (driver.mode() == Driver::Mode::Asleep) {
    // Asleep: the step is the wake-up, and ends where the loop stands then.
    const StopReason why = pass();
    if (IsDebugStop(why)) {
      stub.ReportStop(why);
    } else if (driver.mode() == Driver::Mode::Running) {
      stub.ReportStop(StopReason::Step);
    }
    return;
  }
  Calculator& calc = driver.machine();
  const RunResult result = RunWatchedOrPlain(calc, 1, nullptr);
  if (result == RunResult::ProtectViolation) RequestInterrupt(calc, level::kProtect);
  // A step moves no time, but what it did at the link port takes effect.
  AdvanceLink(calc, 0);
  const StopReason why = StopOf(result, calc.watch);
  if (why == StopReason::Asleep) driver.Sleep();
  // An exception gdb does not catch is the program's own: the step ends in
  // its handler, as any other step.
  stub.ReportStop(IsDebugStop(why) ? why : StopReason::Step);
}

void Stub::RemoveAll() {
  calc_.breakpoints.RemoveAll(BreakpointOwner::Gdb);
  calc_.watch = DebugWatch{};
}

}  // namespace pellux::gdb
