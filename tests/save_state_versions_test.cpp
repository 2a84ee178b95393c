// The rules that let the format grow: sections a reader does not know are
// skipped only when marked optional, every section of the file's version
// must be there, a field is read only from files of the version that
// brought it, and a state saved during a link transfer says so.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "machine/save_state.h"
#include "machine/save_state_fields.h"
#include "tests/machine_compare.h"
#include "tests/state_edit.h"
#include "tests/test_support.h"

namespace pellux {
namespace {

using test::StateBytes;
namespace section = test::section;

constexpr RomIdentity kRom{0x5A5A5A5A12345678ull};
constexpr std::uint8_t kOptional = 0x01;
const std::string kTransferNote =
    "The state was saved during a link transfer; it resumes with the link cable unplugged.";

StateBytes StateOf(const Calculator& m) {
  ManualClock clock;
  return SaveState(m, kRom, clock);
}

StateBytes RanALittle() {
  test::CalculatorFixture f(test::NopRom());
  f.calc->ports[port::kTimerControl] = 0x09;
  for (int i = 0; i < 30; ++i) {
    f.clock.AdvanceTicks(1);
    f.calc->RunSlice(f.clock);
  }
  return StateOf(*f.calc);
}

LoadStateResult Load(const StateBytes& state) {
  ManualClock clock;
  return LoadState(state, kRom, clock);
}

TEST(StateVersions, AnUnknownSectionIsSkippedOnlyWhenOptional) {
  const StateBytes state = RanALittle();
  const LoadStateResult plain = Load(state);
  ASSERT_TRUE(plain.ok()) << plain.message();

  // A later version's section that this machine can do without, whatever
  // its encoding.
  StateBytes later = state;
  test::AddSection(later, 40, kOptional, {1, 2, 3, 4, 5});
  later[test::SectionAt(later, 40) + 2] = 9;
  SealState(later);
  const LoadStateResult skipped = Load(later);
  ASSERT_TRUE(skipped.ok()) << skipped.message();
  EXPECT_EQ(test::MachineDifference(*plain->machine, *skipped->machine), "");

  StateBytes required = state;
  test::AddSection(required, 40, 0, {1, 2, 3});
  SealState(required);
  EXPECT_EQ(Load(required).message(), "the saved state has a required section of unknown kind 40");
  EXPECT_FALSE(FailedWith(Load(required), StateRefusal::NewerVersion));

  // A known section marked optional is read all the same.
  StateBytes marked = state;
  marked[test::SectionAt(marked, section::kRam) + 3] = kOptional;
  SealState(marked);
  const LoadStateResult read = Load(marked);
  ASSERT_TRUE(read.ok()) << read.message();
  EXPECT_EQ(test::MachineDifference(*plain->machine, *read->machine), "");
}

TEST(StateVersions, EverySectionOfTheVersionMustBeThere) {
  const StateBytes state = RanALittle();
  const struct {
    std::uint16_t id;
    const char* error;
  } cases[] = {
      {section::kProcessor, "the saved state has no processor section"},
      {section::kLcd, "the saved state has no LCD section"},
      {section::kLink, "the saved state has no link port section"},
  };
  for (const auto& c : cases) {
    StateBytes missing = state;
    test::RemoveSection(missing, c.id);
    SealState(missing);
    EXPECT_EQ(Load(missing).message(), c.error);
    // An optional section does not stand in for it.
    test::AddSection(missing, 41, kOptional, {0});
    SealState(missing);
    EXPECT_EQ(Load(missing).message(), c.error);
  }
}

// A made-up list of fields, as it would stand after a later version added
// `added` between two of version 1's.
struct Record {
  std::uint32_t first = 0;
  std::uint16_t added = 0;
  bool last = false;
};
template <class Fields, class R>
void RecordFields(Fields& f, R& r) {
  f(r.first);
  f(r.added, state::Since{2});
  f(r.last);
}

TEST(StateVersions, AFieldIsReadOnlyFromFilesOfTheVersionThatBroughtIt) {
  const Record saved{0x11223344, 0xBEEF, true};
  std::vector<std::uint8_t> bytes;
  state::FieldWriter writer(bytes);
  RecordFields(writer, saved);
  ASSERT_EQ(bytes, (std::vector<std::uint8_t>{0x44, 0x33, 0x22, 0x11, 0xEF, 0xBE, 0x01}));

  Record now{0, 7, false};
  state::FieldReader current(bytes, 2);
  RecordFields(current, now);
  EXPECT_TRUE(current.exact());
  EXPECT_EQ(now.first, saved.first);
  EXPECT_EQ(now.added, saved.added);
  EXPECT_TRUE(now.last);

  // Version 1 wrote the other two alone; the added field keeps its value.
  const std::vector<std::uint8_t> older = {0x44, 0x33, 0x22, 0x11, 0x01};
  Record then{0, 7, false};
  state::FieldReader oldReader(older, 1);
  RecordFields(oldReader, then);
  EXPECT_TRUE(oldReader.exact());
  EXPECT_EQ(then.first, saved.first);
  EXPECT_EQ(then.added, 7);
  EXPECT_TRUE(then.last);

  // The same bytes as a version-2 file are one field short.
  state::FieldReader shortReader(older, 2);
  RecordFields(shortReader, then);
  EXPECT_FALSE(shortReader.exact());
}

// A byte in the chip, or bytes on a plugged cable, is a transfer cut off:
// the loaded machine keeps the chip as it was, has no cable, and the caller
// is given a note for the user.
TEST(StateVersions, AStateSavedDuringALinkTransferSaysSo) {
  struct Case {
    const char* what;
    std::function<void(Calculator&)> set;
    bool inFlight;
  };
  const Case cases[] = {
      {"an idle link", [](Calculator&) {}, false},
      {"a byte going out", [](Calculator& m) { m.link.txFull = true, m.link.txUnits = 30; }, true},
      {"a byte coming in", [](Calculator& m) { m.link.arriving = true, m.link.arrivingByte = 0x99; }, true},
      {"a byte waiting to be read", [](Calculator& m) { m.link.rxFull = true; }, true},
      {"bytes on the cable towards the calculator",
       [](Calculator& m) { m.wire.plugged = true, m.wire.toCalculator.Push(0x08); }, true},
      {"bytes on the cable from the calculator",
       [](Calculator& m) { m.wire.plugged = true, m.wire.fromCalculator.Push(0x56); }, true},
      {"a plugged cable with nothing on it", [](Calculator& m) { m.wire.plugged = true; }, false},
      {"bytes left on an unplugged cable",
       [](Calculator& m) { m.wire.toCalculator.Push(0x08), m.link.peerLines = link_line::kRed; }, false},
  };
  for (const Case& c : cases) {
    Calculator m(test::NopRom().bytes());
    c.set(m);
    const LoadStateResult loaded = Load(StateOf(m));
    ASSERT_TRUE(loaded.ok()) << c.what << ": " << loaded.message();
    EXPECT_EQ(loaded->notes,
              c.inFlight ? std::vector<std::string>{kTransferNote} : std::vector<std::string>{})
        << c.what;
    EXPECT_EQ(test::MachineDifference(m, *loaded->machine), "") << c.what;
    EXPECT_FALSE(loaded->machine->wire.plugged) << c.what;
    EXPECT_TRUE(loaded->machine->wire.toCalculator.empty() && loaded->machine->wire.fromCalculator.empty())
        << c.what;
  }
}

}  // namespace
}  // namespace pellux
