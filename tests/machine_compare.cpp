#include "tests/machine_compare.h"

#include <cstdint>
#include <span>
#include <sstream>

namespace pellux::test {

namespace {

class Comparison {
 public:
  template <class T>
  Comparison& Field(const char* name, const T& a, const T& b) {
    if (difference_.empty() && !(a == b)) {
      std::ostringstream text;
      text << name << ": " << +Plain(a) << " vs " << +Plain(b);
      difference_ = text.str();
    }
    return *this;
  }

  Comparison& Bytes(const char* name, std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
    if (!difference_.empty()) return *this;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
      if (a[i] != b[i]) {
        std::ostringstream text;
        text << name << " byte 0x" << std::hex << i << ": 0x" << +a[i] << " vs 0x" << +b[i];
        difference_ = text.str();
        return *this;
      }
    }
    if (a.size() != b.size()) difference_ = std::string(name) + ": sizes differ";
    return *this;
  }

  std::string difference() const { return difference_; }

 private:
  template <class T>
  static auto Plain(const T& value) {
    if constexpr (std::is_enum_v<T>) {
      return static_cast<std::underlying_type_t<T>>(value);
    } else {
      return value;
    }
  }

  std::string difference_;
};

}  // namespace

std::string MachineDifference(const Calculator& a, const Calculator& b) {
  const CpuState& x = a.cpu;
  const CpuState& y = b.cpu;
  Comparison c;
  static constexpr const char* kRegisterNames[16] = {"D0", "D1", "D2", "D3", "D4", "D5", "D6", "D7",
                                                     "A0", "A1", "A2", "A3", "A4", "A5", "A6", "A7"};
  for (unsigned r = 0; r < 16; ++r) c.Field(kRegisterNames[r], x.regs[r], y.regs[r]);
  c.Field("pc", x.pc, y.pc)
      .Field("opPc", x.opPc, y.opPc)
      .Field("opcode", x.opcode, y.opcode)
      .Field("otherSp", x.otherSp, y.otherSp)
      .Field("flag c", x.FlagC(), y.FlagC())
      .Field("flag v", x.FlagV(), y.FlagV())
      .Field("flag z", x.FlagZ(), y.FlagZ())
      .Field("flag n", x.FlagN(), y.FlagN())
      .Field("flag x", x.FlagX(), y.FlagX())
      .Field("s", x.s, y.s)
      .Field("t", x.t, y.t)
      .Field("traceJustSet", x.traceJustSet, y.traceJustSet)
      .Field("runState", x.runState, y.runState)
      .Field("intMask", x.intMask, y.intMask)
      .Field("pendingInts", x.pendingInts, y.pendingInts)
      .Field("instructionCount", x.instructionCount, y.instructionCount)
      .Field("flashState", a.flashState, b.flashState)
      .Bytes("ports", a.ports, b.ports)
      .Bytes("keyMatrix", a.keyMatrix, b.keyMatrix)
      .Field("anyKeyDown", a.anyKeyDown, b.anyKeyDown)
      .Field("timerReload", a.timerReload, b.timerReload)
      .Field("tickCount", a.tickCount, b.tickCount)
      .Field("lcdBase", a.lcdBase, b.lcdBase)
      .Field("wakeMask", a.wakeMask, b.wakeMask)
      .Field("link.time", a.link.time, b.link.time)
      .Field("link.error", a.link.error, b.link.error)
      .Field("link.txFull", a.link.txFull, b.link.txFull)
      .Field("link.txByte", a.link.txByte, b.link.txByte)
      .Field("link.txUnits", a.link.txUnits, b.link.txUnits)
      .Field("link.txWaited", a.link.txWaited, b.link.txWaited)
      .Field("link.arriving", a.link.arriving, b.link.arriving)
      .Field("link.arrivingByte", a.link.arrivingByte, b.link.arrivingByte)
      .Field("link.arrivingUnits", a.link.arrivingUnits, b.link.arrivingUnits)
      .Field("link.rxFull", a.link.rxFull, b.link.rxFull)
      .Field("link.peerLines", a.link.peerLines, b.link.peerLines)
      .Field("link.conditions", a.link.conditions, b.link.conditions)
      .Bytes("lastFrame", a.lastFrame, b.lastFrame)
      .Bytes("RAM", a.ram, b.ram)
      .Bytes("flash", a.rom, b.rom);
  return c.difference();
}

}  // namespace pellux::test
