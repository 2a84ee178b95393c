// The saved state's versions, its sections and the fields they hold: the
// lists the writer and the reader both walk, so that the two cannot
// disagree. SAVE_STATE_FORMAT.md describes the layout and the rules for
// changing it. Only the saved-state code and its tests include this.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>
#include <vector>

#include "cpu/exceptions.h"
#include "machine/calculator.h"

namespace pellux::state {

// The version this Pellux writes. It reads every version from 1 up to it;
// a file of a higher version was made by a newer Pellux. The first 12
// bytes of a file (the magic and the version) are the same in every
// version, so any reader can tell which version a file is.
constexpr std::uint32_t kFormatVersion = 2;
constexpr std::uint32_t kFirstVersion = 1;

// The version that brought a field. In a file of version v a section holds
// the fields of its list with since <= v, in list order; a reader leaves
// the others as a fresh machine has them. A field newer than the version
// written does not compile.
struct Since {
  consteval Since(std::uint32_t v) : version(v) {
    if (v < kFirstVersion || v > kFormatVersion) throw "a field's version must lie within the format's";
  }
  std::uint32_t version;
};

enum class SectionId : std::uint16_t {
  Processor = 1,
  Chips = 2,
  Ram = 3,
  Flash = 4,
  LcdCopy = 5,
  Pacing = 6,
  Link = 7,
};

// Every section this Pellux knows. Each is required in a file of a version
// at or above its `since`, and absent from older files (which load with a
// fresh machine's values for what it holds).
struct SectionKind {
  SectionId id;
  const char* name;
  std::uint32_t since;
  std::size_t imageBytes;  // an image of exactly this many bytes; 0: a list of fields
};
constexpr std::array<SectionKind, 7> kSectionKinds = {{
    {SectionId::Processor, "processor", 1, 0},
    {SectionId::Chips, "ports and timers", 1, 0},
    {SectionId::Ram, "RAM", 1, kRamSize},
    {SectionId::Flash, "flash", 1, kRomSize},
    {SectionId::LcdCopy, "LCD", 1, kLcdFrameBytes},
    {SectionId::Pacing, "pacing", 1, 0},
    {SectionId::Link, "link port", 2, 0},
}};
// A section of fields is never longer than this.
constexpr std::size_t kMostFieldBytes = 128;

// Bits of a section header's flags byte (from version 2; 0 in version 1).
namespace section_flag {
// A reader that does not know the section may skip it: the machine
// behaves the same without it.
constexpr std::uint8_t kOptional = 0x01;
constexpr std::uint8_t kKnown = kOptional;
}  // namespace section_flag

// The time pending since it was last charged to the timers, in 1/1024 of a
// host-clock count, at a known rate; and the driver's mode.
struct Pacing {
  std::int64_t pendingParts = 0;
  std::int64_t countsPerSecond = 1;
  std::uint8_t mode = 0;  // 0 running, 1 idle
};

// The link section: the chip's fields, and whether a transfer was in
// flight (it does not go on: a loaded machine has no cable).
template <class Port>
struct LinkSection {
  Port& port;
  std::uint8_t transferInFlight = 0;
};

// The five condition flags as the processor section holds them, a byte of
// 0 or 1 each, in the order of their bits in the status register: C, V, Z,
// N, X. The core keeps them in another form; these go through GetSR and
// SetCCR, as every reader outside the core does.
using ConditionBytes = std::array<std::uint8_t, 5>;

inline ConditionBytes ConditionBytesOf(const CpuState& cpu) {
  const std::uint32_t sr = GetSR(cpu);
  ConditionBytes flags{};
  for (std::size_t i = 0; i < flags.size(); ++i) flags[i] = (sr >> i) & 1;
  return flags;
}

// Only for bytes of 0 or 1 (ImpossibleProcessor has looked at them).
inline void SetConditionBytes(CpuState& cpu, const ConditionBytes& flags) {
  std::uint32_t ccr = 0;
  for (std::size_t i = 0; i < flags.size(); ++i) ccr |= std::uint32_t{flags[i]} << i;
  SetCCR(cpu, ccr);
}

// The field lists. Add a field at the end of its list with the version
// that brings it, Since{N}; fields without one are version 1's (in the
// link section, version 2's, which brought the section).
template <class Fields, class Cpu, class Flags>
void ProcessorFields(Fields& f, Cpu& cpu, Flags& conditions) {
  f(cpu.opcode);
  for (auto& flag : conditions) f(flag);
  f(cpu.s), f(cpu.t), f(cpu.traceJustSet);
  for (auto& r : cpu.regs) f(r);
  f(cpu.otherSp), f(cpu.pc), f(cpu.opPc);
  f(cpu.runState), f(cpu.intMask), f(cpu.pendingInts);
  f(cpu.instructionCount);
}

template <class Fields, class M>
void ChipFields(Fields& f, M& m) {
  f(m.flashState);
  for (auto& p : m.ports) f(p);
  for (auto& row : m.keyMatrix) f(row);
  f(m.anyKeyDown), f(m.timerReload), f(m.tickCount), f(m.lcdBase), f(m.wakeMask);
}

template <class Fields, class L>
void LinkFields(Fields& f, L& link) {
  auto& p = link.port;
  f(p.time), f(p.error);
  f(p.txFull), f(p.txByte), f(p.txUnits), f(p.txWaited);
  f(p.arriving), f(p.arrivingByte), f(p.arrivingUnits), f(p.rxFull);
  f(p.peerLines), f(p.conditions);
  f(link.transferInFlight);
}

template <class Fields, class P>
void PacingFields(Fields& f, P& p) {
  f(p.pendingParts), f(p.countsPerSecond), f(p.mode);
}

// Every member of the machine has its place: saved in a section, or named
// here as not saved and why. A member added to Calculator, CpuState or
// LinkPort without a place here stops the build ("... decomposes into N
// elements"); give it one, and if it is saved, a line in its field list.
[[maybe_unused]] inline void EveryMemberHasItsPlace(Calculator& m) {
  // clang-format off
  [[maybe_unused]] auto& [
      cpu,                 // processor
      ram,                 // RAM
      rom,                 // flash
      flashState,          // ports and timers
      fetch,               // not saved: a cache of the memory map, set again at the first fetch
      ports,               // ports and timers
      link,                // link port
      wire,                // not saved: a loaded machine has no cable
      breakpoints, watch,  // not saved: the debuggers', they stay with the host
      keyMatrix, anyKeyDown,                                       // ports and timers
      hasCounter, counterFrequency, lastCount, lastCountFraction, // pacing, as the time pending on the host's clock
      timerReload, tickCount, lcdBase, wakeMask,                   // ports and timers
      lastFrame,           // LCD
      frameSerial,         // not saved: a host's repaint counter; the loaded machine's starts anew
      lcdBlend             // not saved: display only, refilled within a few ticks of the load
  ] = m;
  [[maybe_unused]] auto& [  // processor (c, v, x and nz as the five condition bytes)
      opcode, c, v, x, s, t, runState, nz, regs, opPc, otherSp, pc, traceJustSet, intMask, pendingInts,
      instructionCount,
      chainLeft  // not saved: the count of one run's chain, set anew by every chain
  ] = m.cpu;
  [[maybe_unused]] auto& [  // link port, all of it
      time, error, txFull, txByte, txUnits, txWaited, arriving, arrivingByte, arrivingUnits, rxFull, peerLines,
      conditions
  ] = m.link;
  // clang-format on
}

// Enumerations travel as their underlying integers, flags as a byte.
template <class T>
struct StoredAs {
  using type = T;
};
template <class T>
requires std::is_enum_v<T>
struct StoredAs<T> {
  using type = std::underlying_type_t<T>;
};
template <>
struct StoredAs<bool> {
  using type = std::uint8_t;
};
template <class T>
using Stored = std::make_unsigned_t<typename StoredAs<T>::type>;

// Little-endian, whatever the host; every field, whatever its version.
class FieldWriter {
 public:
  explicit FieldWriter(std::vector<std::uint8_t>& out) : out_(out) {}
  template <class T>
  void operator()(const T& value, Since = 1) {
    const auto v = static_cast<Stored<T>>(value);
    for (std::size_t i = 0; i < sizeof v; ++i) out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }

 private:
  std::vector<std::uint8_t>& out_;
};

// Reads what FieldWriter wrote for a file of the given version. Reading
// past the end yields zeros and makes the whole read wrong; a flag that is
// neither 0 nor 1 is kept for the checks to name.
class FieldReader {
 public:
  FieldReader(std::span<const std::uint8_t> in, std::uint32_t version) : in_(in), version_(version) {}
  template <class T>
  void operator()(T& value, Since since = 1) {
    if (since.version > version_) return;  // not in files of this version
    using U = Stored<T>;
    U v = 0;
    for (std::size_t i = 0; i < sizeof v; ++i, ++at_) {
      if (at_ < in_.size()) v |= static_cast<U>(U{in_[at_]} << (8 * i));
    }
    if constexpr (std::is_same_v<T, bool>) {
      if (v > 1 && badFlag_ == 0) badFlag_ = v;
      value = v != 0;
    } else {
      value = static_cast<T>(static_cast<typename StoredAs<T>::type>(v));
    }
  }
  // Every byte was read, and no more.
  bool exact() const { return at_ == in_.size(); }
  // The first flag read that held neither 0 nor 1, else 0.
  std::uint8_t badFlag() const { return badFlag_; }

 private:
  std::span<const std::uint8_t> in_;
  std::uint32_t version_;
  std::size_t at_ = 0;
  std::uint8_t badFlag_ = 0;
};

}  // namespace pellux::state
