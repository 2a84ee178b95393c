// Saved states: a header, tagged sections and a closing CRC-32, laid out as
// SAVE_STATE_FORMAT.md describes. Loading checks the whole file before it
// builds anything and fills a new machine, so a failed load leaves nothing
// half-made and never touches the running machine.
#include "machine/save_state.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

#include "io/files.h"
#include "machine/checksums.h"
#include "machine/little_endian.h"
#include "machine/run_length.h"
#include "machine/save_state_checks.h"
#include "machine/save_state_fields.h"
#include "machine/save_state_pacing.h"

namespace pellux {

namespace {

using namespace state;

constexpr std::array<std::uint8_t, 8> kMagic = {'P', 'E', 'L', 'L', 'U', 'X', 'S', 'T'};
constexpr std::size_t kHeaderBytes = 32;
constexpr std::size_t kSectionHeaderBytes = 12;
constexpr std::size_t kChecksumBytes = 4;

// Header fields.
constexpr std::size_t kVersionAt = 8;
constexpr std::size_t kSectionCountAt = 12;
constexpr std::size_t kLengthAt = 16;
constexpr std::size_t kRomAt = 24;

enum class Encoding : std::uint8_t { Stored = 0, RunLength = 1 };

// Section headers have flags from this version on; before, the byte is 0.
constexpr std::uint32_t kFlagsSince = 2;

constexpr const char* kTransferNote =
    "The state was saved during a link transfer; it resumes with the link cable unplugged.";

// The images, wherever the machine keeps them.
std::span<const std::uint8_t> RamImage(const Calculator& m) { return m.ram; }
std::span<std::uint8_t> RamImage(Calculator& m) { return m.ram; }
std::span<const std::uint8_t> FlashImage(const Calculator& m) { return m.rom; }
std::span<std::uint8_t> FlashImage(Calculator& m) { return m.rom; }

// A machine to load into. Every field a state covers is overwritten; the
// others keep a fresh machine's values.
std::unique_ptr<Calculator> BlankMachine() {
  return std::make_unique<Calculator>(std::span<const std::uint8_t>{});
}

const SectionKind* KindOf(SectionId id) {
  const auto kind = std::find_if(kSectionKinds.begin(), kSectionKinds.end(),
                                 [&](const SectionKind& k) { return k.id == id; });
  return kind == kSectionKinds.end() ? nullptr : &*kind;
}

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
  h[3] = 0;  // flags: every section this version writes is required
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

KindedError<StateRefusal> Failure(std::string error) {
  return Fail(StateRefusal::Unusable, std::move(error));
}

KindedError<StateRefusal> NewerVersion(std::uint32_t version) {
  return Fail(StateRefusal::NewerVersion,
              "the saved state was made by a newer version of Pellux (format version " +
                  std::to_string(version) + "; this one reads versions up to " +
                  std::to_string(kFormatVersion) + ")");
}

// The header's checks, cheapest first, so that a cut file is named as one
// without reading the rest. The version comes before everything a newer
// format might lay out otherwise.
Result<void, KindedError<StateRefusal>> HeaderTrouble(std::span<const std::uint8_t> bytes,
                                                      const RomIdentity& expected) {
  if (bytes.empty()) return Failure("the file is empty");
  const std::size_t magicBytes = std::min(bytes.size(), kMagic.size());
  if (!std::equal(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(magicBytes), kMagic.begin())) {
    return Failure("this is not a Pellux saved state");
  }
  if (bytes.size() >= kVersionAt + 4) {
    const auto version = static_cast<std::uint32_t>(GetLe(bytes, kVersionAt, 4));
    if (version > kFormatVersion) return NewerVersion(version);
    if (version < kFirstVersion) {
      return Failure("the saved state has format version " + std::to_string(version) +
                     ", which no Pellux writes");
    }
  }
  if (bytes.size() < kHeaderBytes + kChecksumBytes) return Failure("the saved state is cut short");
  const std::uint64_t total = GetLe(bytes, kLengthAt, 8);
  if (total > bytes.size()) {
    return Failure("the saved state is cut short: it has " + std::to_string(bytes.size()) + " of its " +
                   std::to_string(total) + " bytes");
  }
  if (total < bytes.size()) return Failure("the saved state has unexpected bytes after its end");
  const std::size_t body = bytes.size() - kChecksumBytes;
  if (Crc32(bytes.first(body)) != GetLe(bytes, body, kChecksumBytes)) {
    return Failure("the saved state is damaged (its checksum does not match)");
  }
  if (GetLe(bytes, kRomAt, 8) != expected.hash) return Failure("this state was made from another ROM image");
  return {};
}

// A known section as the file holds it.
struct FoundSection {
  Encoding encoding = Encoding::Stored;
  std::size_t rawLength = 0;
  std::span<const std::uint8_t> stored = {};  // empty until the section is met
};
using Sections = std::array<FoundSection, kSectionKinds.size()>;

// Walks the section headers: every section inside the file, each known one
// once and of its size, unknown ones skipped only when optional, and every
// section the version requires there.
Status FindSections(std::span<const std::uint8_t> bytes, std::uint32_t version, Sections& found) {
  const std::uint64_t count = GetLe(bytes, kSectionCountAt, 4);
  const std::size_t end = bytes.size() - kChecksumBytes;
  std::size_t at = kHeaderBytes;
  for (std::uint64_t n = 0; n < count; ++n) {
    if (at == end) return Fail("the saved state has the wrong number of sections");
    if (end - at < kSectionHeaderBytes) return Fail("the saved state ends inside a section header");
    const auto id = static_cast<SectionId>(GetLe(bytes, at, 2));
    const auto encoding = static_cast<Encoding>(bytes[at + 2]);
    const std::uint8_t flags = bytes[at + 3];
    const std::uint64_t rawLength = GetLe(bytes, at + 4, 4);
    const std::uint64_t storedLength = GetLe(bytes, at + 8, 4);
    at += kSectionHeaderBytes;
    const SectionKind* kind = KindOf(id);
    const std::string name =
        kind ? std::string(kind->name) : "unknown kind " + std::to_string(static_cast<unsigned>(id));
    if (storedLength > end - at) return Fail("the " + name + " section runs past the end of the saved state");
    if (version < kFlagsSince && flags != 0) return Fail("the " + name + " section's reserved byte is not 0");
    if (flags & ~section_flag::kKnown) return Fail("the " + name + " section has unknown flags");
    const std::span<const std::uint8_t> stored = bytes.subspan(at, static_cast<std::size_t>(storedLength));
    at += stored.size();
    if (!kind) {
      if (flags & section_flag::kOptional) continue;  // a later version's, which this machine can do without
      return Fail("the saved state has a required section of unknown kind " +
                  std::to_string(static_cast<unsigned>(id)));
    }
    if (kind->since > version) {
      return Fail("the saved state has a " + name + " section, which format version " +
                  std::to_string(version) + " does not have");
    }
    FoundSection& section = found[static_cast<std::size_t>(kind - kSectionKinds.data())];
    if (!section.stored.empty()) return Fail("the saved state has its " + name + " section twice");
    const bool sizeFits = kind->imageBytes ? rawLength == kind->imageBytes : rawLength <= kMostFieldBytes;
    if (!sizeFits || rawLength == 0 || storedLength == 0)
      return Fail("the " + name + " section has the wrong size");
    if (encoding != Encoding::Stored && encoding != Encoding::RunLength) {
      return Fail("the " + name + " section has an unknown encoding");
    }
    if (encoding == Encoding::Stored && storedLength != rawLength)
      return Fail("the " + name + " section has the wrong size");
    section = {encoding, static_cast<std::size_t>(rawLength), stored};
  }
  if (at != end) return Fail("the saved state has unexpected bytes after its sections");
  for (std::size_t k = 0; k < kSectionKinds.size(); ++k) {
    if (kSectionKinds[k].since <= version && found[k].stored.empty()) {
      return Fail(std::string("the saved state has no ") + kSectionKinds[k].name + " section");
    }
  }
  return Ok();
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
  StoreLe(&out[kSectionCountAt], kSectionKinds.size(), 4);
  StoreLe(&out[kRomAt], rom.hash, 8);

  const Pacing pacing = PendingTime(m, clock, mode);
  LinkSection<const LinkPort> link{m.link, LinkBusy(m) ? std::uint8_t{1} : std::uint8_t{0}};
  for (const SectionKind& kind : kSectionKinds) {
    switch (kind.id) {
      case SectionId::Processor:
        AppendFieldSection(out, kind.id, [&](FieldWriter& w) {
          const ConditionBytes conditions = ConditionBytesOf(m.cpu);
          ProcessorFields(w, m.cpu, conditions);
        });
        break;
      case SectionId::Chips:
        AppendFieldSection(out, kind.id, [&](FieldWriter& w) { ChipFields(w, m); });
        break;
      case SectionId::Ram:
        AppendSection(out, kind.id, RamImage(m));
        break;
      case SectionId::Flash:
        AppendSection(out, kind.id, FlashImage(m));
        break;
      case SectionId::LcdCopy:
        AppendSection(out, kind.id, m.lastFrame);
        break;
      case SectionId::Pacing:
        AppendFieldSection(out, kind.id, [&](FieldWriter& w) { PacingFields(w, pacing); });
        break;
      case SectionId::Link:
        AppendFieldSection(out, kind.id, [&](FieldWriter& w) { LinkFields(w, link); });
        break;
    }
  }

  out.resize(out.size() + kChecksumBytes);
  SealState(out);
  return out;
}

LoadStateResult LoadState(std::span<const std::uint8_t> bytes, const RomIdentity& expected,
                          HostClock& clock) {
  if (auto header = HeaderTrouble(bytes, expected); !header.ok()) return header.error();
  const auto version = static_cast<std::uint32_t>(GetLe(bytes, kVersionAt, 4));

  // The section table first, so that no machine is built for a state whose
  // layout is wrong.
  Sections found{};
  if (const Status sections = FindSections(bytes, version, found); !sections.ok()) {
    return Failure(sections.message());
  }

  // Images decode straight into the new machine, fields into small buffers.
  LoadedState result;
  result.machine = BlankMachine();
  Calculator& m = *result.machine;
  std::array<std::array<std::uint8_t, kMostFieldBytes>, kSectionKinds.size()> fieldBytes{};
  std::array<std::span<const std::uint8_t>, kSectionKinds.size()> fields{};
  for (std::size_t k = 0; k < kSectionKinds.size(); ++k) {
    const FoundSection& section = found[k];
    if (section.stored.empty()) continue;  // not in files of this version
    std::span<std::uint8_t> target = fieldBytes[k];
    switch (kSectionKinds[k].id) {
      case SectionId::Ram:
        target = RamImage(m);
        break;
      case SectionId::Flash:
        target = FlashImage(m);
        break;
      case SectionId::LcdCopy:
        target = m.lastFrame;
        break;
      default:
        break;
    }
    target = target.first(section.rawLength);
    if (section.encoding == Encoding::Stored) {
      std::copy(section.stored.begin(), section.stored.end(), target.begin());
    } else if (!DecodeRunLength(section.stored, target)) {
      return Failure(std::string("the ") + kSectionKinds[k].name + " section is garbled");
    }
    fields[k] = target;
  }

  // Each list of fields, read as the file's version wrote it, then checked.
  Pacing pacing;
  LinkSection<LinkPort> link{m.link};
  for (std::size_t k = 0; k < kSectionKinds.size(); ++k) {
    const SectionKind& kind = kSectionKinds[k];
    if (kind.imageBytes != 0 || found[k].stored.empty()) continue;
    FieldReader reader(fields[k], version);
    Status trouble;
    switch (kind.id) {
      case SectionId::Processor: {
        ConditionBytes conditions{};
        ProcessorFields(reader, m.cpu, conditions);
        trouble = ImpossibleProcessor(m.cpu, conditions);
        if (trouble.ok()) SetConditionBytes(m.cpu, conditions);
        break;
      }
      case SectionId::Chips:
        ChipFields(reader, m);
        trouble = ImpossibleChips(m);
        break;
      case SectionId::Pacing:
        PacingFields(reader, pacing);
        trouble = ImpossiblePacing(pacing);
        break;
      case SectionId::Link:
        LinkFields(reader, link);
        trouble = ImpossibleLink(link, reader.badFlag());
        break;
      default:
        break;
    }
    if (!reader.exact()) return Failure(std::string("the ") + kind.name + " section has the wrong size");
    if (!trouble.ok()) return Failure("the saved state is impossible: " + trouble.message());
  }

  SetPendingTime(m, clock, pacing);
  result.mode = pacing.mode == 1 ? Driver::Mode::Asleep : Driver::Mode::Running;
  if (link.transferInFlight) result.notes.push_back(kTransferNote);
  return result;
}

Status SaveStateFile(const std::filesystem::path& path, const Calculator& m, const RomIdentity& rom,
                     HostClock& clock, Driver::Mode mode) {
  const std::vector<std::uint8_t> bytes = SaveState(m, rom, clock, mode);
  const Status written = WriteFileAtomically(path, bytes);
  if (!written.ok()) return Fail(DescribeFileError(path, written.message()));
  return written;
}

LoadStateResult LoadStateFile(const std::filesystem::path& path, const RomIdentity& expected,
                              HostClock& clock) {
  InputFile file = ReadInputFile(path, kMostStateFileBytes, OverLimit::Refuse);
  if (FailedWith(file, FileError::TooLarge))
    return Failure(DescribeFileError(path, "too large to be a saved state"));
  if (!file.ok()) return Failure(DescribeFileError(path, file.message()));
  LoadStateResult result = LoadState(file->bytes, expected, clock);
  if (!result.ok()) return Fail(result.error().kind, DescribeFileError(path, result.message()));
  return result;
}

}  // namespace pellux
