// Saved states: a header, tagged sections and a closing CRC-32, laid out as
// SAVE_STATE_FORMAT.md describes. Loading checks the whole file before it
// builds anything and fills a new machine, so a failed load leaves nothing
// half-made and never touches the running machine.
#include "machine/save_state.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <type_traits>

#include "machine/checksums.h"
#include "machine/files.h"
#include "machine/little_endian.h"
#include "machine/run_length.h"

namespace pellux {

namespace {

constexpr std::array<std::uint8_t, 8> kMagic = {'P', 'E', 'L', 'L', 'U', 'X', 'S', 'T'};
constexpr std::uint32_t kFormatVersion = 1;
constexpr std::size_t kHeaderBytes = 32;
constexpr std::size_t kSectionHeaderBytes = 12;
constexpr std::size_t kChecksumBytes = 4;

// Every field of the processor is saved; a new field must join the list.
static_assert(sizeof(CpuState) == 104, "CpuState changed: save the new field in ProcessorFields");

enum class SectionId : std::uint16_t {
  Processor = 1,
  Chips = 2,
  Ram = 3,
  Flash = 4,
  LcdCopy = 5,
  Pacing = 6,
};
constexpr std::size_t kSectionCount = 6;

enum class Encoding : std::uint8_t { Stored = 0, RunLength = 1 };

// The time pending since it was last charged to the timers, in 1/1024 of a
// host-clock count, at a known rate; and the driver's mode.
struct Pacing {
  std::int64_t pendingParts = 0;
  std::int64_t countsPerSecond = 1;
  std::uint8_t mode = 0;  // 0 running, 1 idle
};

constexpr unsigned kPartBits = 10;  // the machine keeps its charged point to 1/1024 count
// Millisecond tick counts, for hosts without a high-resolution counter.
constexpr std::int64_t kMillisecondsPerSecond = 1000;
// A rate above this is not a clock (and a second of its parts would not fit).
constexpr std::int64_t kFastestClock = std::int64_t{1} << 52;

// The field lists, one per field section, walked alike by the writer and
// the reader, so the two cannot disagree.
template <class Fields, class Cpu>
void ProcessorFields(Fields& f, Cpu& cpu) {
  f(cpu.opcode);
  f(cpu.c), f(cpu.v), f(cpu.z), f(cpu.n), f(cpu.x), f(cpu.s), f(cpu.t), f(cpu.traceJustSet);
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

template <class Fields, class P>
void PacingFields(Fields& f, P& p) {
  f(p.pendingParts), f(p.countsPerSecond), f(p.mode);
}

// Enumerations travel as their underlying integers.
template <class T>
struct StoredAs {
  using type = T;
};
template <class T>
requires std::is_enum_v<T>
struct StoredAs<T> {
  using type = std::underlying_type_t<T>;
};
template <class T>
using Stored = typename StoredAs<T>::type;

// Little-endian, whatever the host.
class FieldWriter {
 public:
  explicit FieldWriter(std::vector<std::uint8_t>& out) : out_(out) {}
  template <class T>
  void operator()(const T& value) {
    auto v = static_cast<std::make_unsigned_t<Stored<T>>>(value);
    for (std::size_t i = 0; i < sizeof v; ++i) out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }

 private:
  std::vector<std::uint8_t>& out_;
};

// Reads what FieldWriter wrote; reading past the end yields zeros and
// makes the whole read wrong.
class FieldReader {
 public:
  explicit FieldReader(std::span<const std::uint8_t> in) : in_(in) {}
  template <class T>
  void operator()(T& value) {
    using U = std::make_unsigned_t<Stored<T>>;
    U v = 0;
    for (std::size_t i = 0; i < sizeof v; ++i, ++at_) {
      if (at_ < in_.size()) v |= static_cast<U>(U{in_[at_]} << (8 * i));
    }
    value = static_cast<T>(static_cast<Stored<T>>(v));
  }
  // Every byte was read, and no more.
  bool exact() const { return at_ == in_.size(); }

 private:
  std::span<const std::uint8_t> in_;
  std::size_t at_ = 0;
};

// The images, wherever the machine keeps them.
std::span<const std::uint8_t> RamImage(const Calculator& m) { return m.ram; }
std::span<std::uint8_t> RamImage(Calculator& m) { return m.ram; }
std::span<const std::uint8_t> FlashImage(const Calculator& m) { return m.rom; }
std::span<std::uint8_t> FlashImage(Calculator& m) { return m.rom; }

// A machine to load into. Every field a state covers is overwritten.
std::unique_ptr<Calculator> BlankMachine() {
  return std::make_unique<Calculator>(std::span<const std::uint8_t>{});
}

const char* SectionName(SectionId id) {
  switch (id) {
    case SectionId::Processor:
      return "processor";
    case SectionId::Chips:
      return "ports and timers";
    case SectionId::Ram:
      return "RAM";
    case SectionId::Flash:
      return "flash";
    case SectionId::LcdCopy:
      return "LCD";
    case SectionId::Pacing:
      return "pacing";
  }
  return "unknown";
}

// Header fields.
constexpr std::size_t kVersionAt = 8;
constexpr std::size_t kSectionCountAt = 12;
constexpr std::size_t kLengthAt = 16;
constexpr std::size_t kRomAt = 24;

// The caller has checked that the field lies inside the bytes.
std::uint64_t GetLe(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t count) {
  return LoadLe(bytes.data() + at, count);
}

// Appends a section: the run-length code when it is shorter, else the bytes.
void AppendSection(std::vector<std::uint8_t>& out, SectionId id, std::span<const std::uint8_t> raw) {
  const std::size_t header = out.size();
  out.resize(header + kSectionHeaderBytes);
  AppendRunLength(raw, out);
  Encoding encoding = Encoding::RunLength;
  if (out.size() - header - kSectionHeaderBytes >= raw.size()) {
    out.resize(header + kSectionHeaderBytes);
    out.insert(out.end(), raw.begin(), raw.end());
    encoding = Encoding::Stored;
  }
  std::uint8_t* h = out.data() + header;
  StoreLe(h, static_cast<std::uint16_t>(id), 2);
  h[2] = static_cast<std::uint8_t>(encoding);
  h[3] = 0;
  StoreLe(h + 4, raw.size(), 4);
  StoreLe(h + 8, out.size() - header - kSectionHeaderBytes, 4);
}

template <class Walk>
void AppendFieldSection(std::vector<std::uint8_t>& out, SectionId id, Walk walk) {
  std::vector<std::uint8_t> raw;
  FieldWriter writer(raw);
  walk(writer);
  AppendSection(out, id, raw);
}

// The distance from a clock reading to the charged point, at most a second
// either way: the machine charges at most 40 ticks at once, so anything
// beyond behaves the same.
Pacing PendingTime(const Calculator& m, HostClock& clock, Driver::Mode mode) {
  Pacing p;
  p.mode = mode == Driver::Mode::Idle ? 1 : 0;
  std::int64_t counts;
  if (m.hasPerfCounter) {
    p.countsPerSecond = std::min(m.perfFrequency, kFastestClock);
    counts = static_cast<std::int64_t>(static_cast<std::uint64_t>(clock.PerfCounter()) - m.lastCount);
  } else {
    p.countsPerSecond = kMillisecondsPerSecond;
    counts = static_cast<std::int32_t>(clock.TickCountMs() - static_cast<std::uint32_t>(m.lastCount));
  }
  counts = std::clamp(counts, -p.countsPerSecond, p.countsPerSecond);
  p.pendingParts = counts * (std::int64_t{1} << kPartBits) - (m.hasPerfCounter ? m.lastCountFraction : 0);
  return p;
}

// floor(r * b / c) for r < c <= 2^62, without overflow: b's bits one at a
// time, keeping r * (b's bits so far) = result * c + rest with rest < c.
std::uint64_t MulDivBelow(std::uint64_t r, std::uint64_t b, std::uint64_t c) {
  std::uint64_t result = 0, rest = 0;
  for (int bit = 63; bit >= 0; --bit) {
    result <<= 1;
    rest <<= 1;
    if (rest >= c) rest -= c, ++result;
    if ((b >> bit) & 1) {
      rest += r;
      if (rest >= c) rest -= c, ++result;
    }
  }
  return result;
}

// The pending parts at another rate, truncated toward zero.
std::int64_t PendingPartsAt(const Pacing& p, std::int64_t countsPerSecond) {
  if (p.countsPerSecond == countsPerSecond) return p.pendingParts;
  const auto from = static_cast<std::uint64_t>(p.countsPerSecond);
  const auto to = static_cast<std::uint64_t>(countsPerSecond);
  const std::uint64_t magnitude = p.pendingParts < 0 ? 0 - static_cast<std::uint64_t>(p.pendingParts)
                                                     : static_cast<std::uint64_t>(p.pendingParts);
  const auto converted =
      static_cast<std::int64_t>(magnitude / from * to + MulDivBelow(magnitude % from, to, from));
  return p.pendingParts < 0 ? -converted : converted;
}

// The loader's clock with the same time pending: the charged point is the
// reading less the pending parts, a whole count and a fraction above it.
void SetPendingTime(Calculator& m, HostClock& clock, const Pacing& p) {
  m.StartPacing(clock);
  const std::int64_t frequency = std::min(m.perfFrequency, kFastestClock);
  const std::int64_t parts = PendingPartsAt(p, m.hasPerfCounter ? frequency : kMillisecondsPerSecond);
  const std::int64_t wholeCounts = (parts + (std::int64_t{1} << kPartBits) - 1) >> kPartBits;  // rounded up
  m.lastCount -= static_cast<std::uint64_t>(wholeCounts);
  if (m.hasPerfCounter) {
    m.lastCountFraction = static_cast<std::uint32_t>((wholeCounts << kPartBits) - parts);
  } else {
    m.lastCount &= 0xFFFFFFFFu;  // a millisecond count lives in the low half
  }
}

// Values no machine can hold: a state made by hand, not by SaveState.
std::optional<std::string> ImpossibleValue(const Calculator& m, const Pacing& p) {
  const CpuState& cpu = m.cpu;
  for (const std::uint8_t flag : {cpu.c, cpu.v, cpu.z, cpu.n, cpu.x, cpu.s, cpu.t, cpu.traceJustSet}) {
    if (flag > 1) return "a processor flag holds " + std::to_string(flag);
  }
  if (cpu.intMask > 7) return "the interrupt mask is " + std::to_string(cpu.intMask);
  if (cpu.pendingInts & 1) return "interrupt level 0 is pending";
  if (static_cast<unsigned>(cpu.runState) > static_cast<unsigned>(RunState::ProtectFault)) {
    return "the processor's run state is unknown";
  }
  if (static_cast<std::uint32_t>(m.flashState) > static_cast<std::uint32_t>(FlashState::ProgramSetup)) {
    return "the flash command state is unknown";
  }
  const bool keyHeld =
      std::any_of(m.keyMatrix.begin(), m.keyMatrix.end(), [](std::uint8_t r) { return r != 0xFF; });
  if (m.anyKeyDown != (keyHeld ? 1u : 0u)) return "the keyboard matrix disagrees with its key-down flag";
  if (p.countsPerSecond <= 0 || p.countsPerSecond > kFastestClock) return "the clock rate is impossible";
  const std::int64_t mostParts = p.countsPerSecond << kPartBits;
  if (p.pendingParts < -mostParts || p.pendingParts > mostParts) return "the pending time is out of range";
  if (p.mode > 1) return "the host loop's mode is unknown";
  return std::nullopt;
}

// A section as the table of the file gives it: an image of the machine
// (exactly `size` bytes) or a list of fields (at most `size` bytes).
struct Section {
  SectionId id;
  std::size_t size;
  bool fields;
  Encoding encoding = Encoding::Stored;
  std::span<const std::uint8_t> stored = {};  // empty until the section is met
};
constexpr std::size_t kMostFieldBytes = 128;

LoadStateResult Failure(std::string error) {
  LoadStateResult result;
  result.error = std::move(error);
  return result;
}

// The header's checks, cheapest first, so that a cut file is named as one
// without reading the rest.
std::optional<std::string> HeaderTrouble(std::span<const std::uint8_t> bytes, const RomIdentity& expected) {
  if (bytes.empty()) return "the file is empty";
  const std::size_t magicBytes = std::min(bytes.size(), kMagic.size());
  if (!std::equal(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(magicBytes), kMagic.begin())) {
    return "this is not a Pellux saved state";
  }
  if (bytes.size() < kHeaderBytes + kChecksumBytes) return "the saved state is cut short";
  const auto version = static_cast<std::uint32_t>(GetLe(bytes, kVersionAt, 4));
  if (version != kFormatVersion) {
    return "the saved state has format version " + std::to_string(version) +
           ", but this program reads version " + std::to_string(kFormatVersion) +
           (version > kFormatVersion ? " (it was saved by a newer Pellux)" : "");
  }
  const std::uint64_t total = GetLe(bytes, kLengthAt, 8);
  if (total > bytes.size()) {
    return "the saved state is cut short: it has " + std::to_string(bytes.size()) + " of its " +
           std::to_string(total) + " bytes";
  }
  if (total < bytes.size()) return "the saved state has unexpected bytes after its end";
  const std::size_t body = bytes.size() - kChecksumBytes;
  if (Crc32(bytes.first(body)) != GetLe(bytes, body, kChecksumBytes)) {
    return "the saved state is damaged (its checksum does not match)";
  }
  if (GetLe(bytes, kRomAt, 8) != expected.hash) return "this state was made from another ROM image";
  if (GetLe(bytes, kSectionCountAt, 4) != kSectionCount)
    return "the saved state has the wrong number of sections";
  return std::nullopt;
}

}  // namespace

RomIdentity IdentifyRom(std::span<const std::uint8_t> romImage) { return RomIdentity{Fnv1a64(romImage)}; }

std::string RomIdentityText(const RomIdentity& rom) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(rom.hash));
  return text;
}

void SealState(std::span<std::uint8_t> state) {
  if (state.size() < kHeaderBytes + kChecksumBytes) return;
  StoreLe(&state[kLengthAt], state.size(), 8);
  const std::size_t body = state.size() - kChecksumBytes;
  StoreLe(&state[body], Crc32(state.first(body)), kChecksumBytes);
}

std::optional<RomIdentity> StateRomIdentity(std::span<const std::uint8_t> state) {
  if (state.size() < kHeaderBytes) return std::nullopt;
  return RomIdentity{GetLe(state, kRomAt, 8)};
}

std::vector<std::uint8_t> SaveState(const Calculator& m, const RomIdentity& rom, HostClock& clock,
                                    Driver::Mode mode) {
  std::vector<std::uint8_t> out(kHeaderBytes);
  out.reserve(1u << 16);
  std::copy(kMagic.begin(), kMagic.end(), out.begin());
  StoreLe(&out[kVersionAt], kFormatVersion, 4);
  StoreLe(&out[kSectionCountAt], kSectionCount, 4);
  StoreLe(&out[kRomAt], rom.hash, 8);

  AppendFieldSection(out, SectionId::Processor, [&](FieldWriter& w) { ProcessorFields(w, m.cpu); });
  AppendFieldSection(out, SectionId::Chips, [&](FieldWriter& w) { ChipFields(w, m); });
  AppendSection(out, SectionId::Ram, RamImage(m));
  AppendSection(out, SectionId::Flash, FlashImage(m));
  AppendSection(out, SectionId::LcdCopy, m.lastFrame);
  const Pacing pacing = PendingTime(m, clock, mode);
  AppendFieldSection(out, SectionId::Pacing, [&](FieldWriter& w) { PacingFields(w, pacing); });

  out.resize(out.size() + kChecksumBytes);
  SealState(out);
  return out;
}

LoadStateResult LoadState(std::span<const std::uint8_t> bytes, const RomIdentity& expected,
                          HostClock& clock) {
  if (auto trouble = HeaderTrouble(bytes, expected)) return Failure(*std::move(trouble));

  // The section table first, so that no machine is built for a state whose
  // layout is wrong.
  std::array<Section, kSectionCount> sections = {{
      {SectionId::Processor, kMostFieldBytes, true},
      {SectionId::Chips, kMostFieldBytes, true},
      {SectionId::Ram, kRamSize, false},
      {SectionId::Flash, kRomSize, false},
      {SectionId::LcdCopy, kLcdFrameBytes, false},
      {SectionId::Pacing, kMostFieldBytes, true},
  }};
  const std::size_t end = bytes.size() - kChecksumBytes;
  std::size_t at = kHeaderBytes;
  for (std::size_t n = 0; n < kSectionCount; ++n) {
    if (end - at < kSectionHeaderBytes) return Failure("the saved state ends inside a section header");
    const auto id = static_cast<SectionId>(GetLe(bytes, at, 2));
    const auto section =
        std::find_if(sections.begin(), sections.end(), [&](const Section& s) { return s.id == id; });
    if (section == sections.end()) {
      return Failure("the saved state has a section of unknown kind " +
                     std::to_string(static_cast<unsigned>(id)));
    }
    const std::string name = SectionName(id);
    if (!section->stored.empty()) return Failure("the saved state has its " + name + " section twice");
    section->encoding = static_cast<Encoding>(bytes[at + 2]);
    const std::uint64_t rawLength = GetLe(bytes, at + 4, 4);
    const std::uint64_t storedLength = GetLe(bytes, at + 8, 4);
    at += kSectionHeaderBytes;
    if (storedLength > end - at)
      return Failure("the " + name + " section runs past the end of the saved state");
    const bool sizeFits = section->fields ? rawLength <= section->size : rawLength == section->size;
    if (!sizeFits || rawLength == 0 || storedLength == 0)
      return Failure("the " + name + " section has the wrong size");
    if (section->encoding != Encoding::Stored && section->encoding != Encoding::RunLength) {
      return Failure("the " + name + " section has an unknown encoding");
    }
    if (section->encoding == Encoding::Stored && storedLength != rawLength) {
      return Failure("the " + name + " section has the wrong size");
    }
    section->size = static_cast<std::size_t>(rawLength);
    section->stored = bytes.subspan(at, static_cast<std::size_t>(storedLength));
    at += section->stored.size();
  }
  if (at != end) return Failure("the saved state has unexpected bytes after its sections");

  // Images decode straight into the new machine, fields into small buffers.
  LoadStateResult result;
  result.machine = BlankMachine();
  Calculator& m = *result.machine;
  std::array<std::uint8_t, kMostFieldBytes> processor{}, chips{}, pacingFields{};
  const std::array<std::span<std::uint8_t>, kSectionCount> targets = {
      processor, chips, RamImage(m), FlashImage(m), m.lastFrame, pacingFields};
  for (std::size_t n = 0; n < kSectionCount; ++n) {
    const Section& section = sections[n];
    const std::span<std::uint8_t> target = targets[n].first(section.size);
    if (section.encoding == Encoding::Stored) {
      std::copy(section.stored.begin(), section.stored.end(), target.begin());
    } else if (!DecodeRunLength(section.stored, target)) {
      return Failure(std::string("the ") + SectionName(section.id) + " section is garbled");
    }
  }

  FieldReader processorReader(targets[0].first(sections[0].size));
  ProcessorFields(processorReader, m.cpu);
  FieldReader chipReader(targets[1].first(sections[1].size));
  ChipFields(chipReader, m);
  Pacing pacing;
  FieldReader pacingReader(targets[5].first(sections[5].size));
  PacingFields(pacingReader, pacing);
  for (const auto& [reader, id] :
       {std::pair{&processorReader, SectionId::Processor}, std::pair{&chipReader, SectionId::Chips},
        std::pair{&pacingReader, SectionId::Pacing}}) {
    if (!reader->exact())
      return Failure(std::string("the ") + SectionName(id) + " section has the wrong size");
  }
  if (auto trouble = ImpossibleValue(m, pacing)) return Failure("the saved state is impossible: " + *trouble);

  SetPendingTime(m, clock, pacing);
  result.mode = pacing.mode == 1 ? Driver::Mode::Idle : Driver::Mode::Running;
  return result;
}

std::string SaveStateFile(const std::filesystem::path& path, const Calculator& m, const RomIdentity& rom,
                          HostClock& clock, Driver::Mode mode) {
  const std::vector<std::uint8_t> bytes = SaveState(m, rom, clock, mode);
  const std::string reason = WriteFileAtomically(path, bytes);
  return reason.empty() ? reason : DescribeFileError(path, reason);
}

LoadStateResult LoadStateFile(const std::filesystem::path& path, const RomIdentity& expected,
                              HostClock& clock) {
  InputFile file = ReadInputFile(path, kMostStateFileBytes, OverLimit::Refuse);
  if (file.error == FileError::TooLarge)
    return Failure(DescribeFileError(path, "too large to be a saved state"));
  if (!file.ok()) return Failure(DescribeFileError(path, file.reason));
  LoadStateResult result = LoadState(file.bytes, expected, clock);
  if (!result.ok()) result.error = DescribeFileError(path, result.error);
  return result;
}

}  // namespace pellux
