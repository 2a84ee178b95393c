// Saved states through the headless runner on the demo ROM: a run cut
// anywhere, saved, and loaded into a new runner ends exactly as the run that
// was never cut.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "machine/rom_file.h"
#include "machine/save_state.h"
#include "tests/machine_compare.h"
#include "tests/test_paths.h"
#include "tests/test_support.h"
#include "tests/value_or_empty.h"
#include "tools/headless_session.h"

namespace pellux {
namespace {

using test::kDemoRom;

// ON to the calculator screen, a sum typed with a key held in the middle.
constexpr const char* kKeys =
    "0.5 tap ON\n"
    "+0.2 type 12*\n"
    "+0.1 press 3\n"
    "+0.3 release 3\n"
    "+0.1 type 4\n"
    "+0.1 tap ENTER\n";

std::vector<KeyEvent> From(const std::vector<KeyEvent>& events, std::int64_t start, std::int64_t end) {
  std::vector<KeyEvent> part;
  for (KeyEvent event : events) {
    if (event.tick < start || event.tick >= end) continue;
    event.tick -= start;
    part.push_back(event);
  }
  return part;
}

TEST(HeadlessState, ACutRunEndsAsTheWholeRun) {
  if (!kDemoRom) GTEST_SKIP() << test::kNoDemoRom;
  const auto script = ParseKeyScript(kKeys);
  ASSERT_TRUE(script.ok()) << script.message();
  const std::vector<std::uint8_t> image = test::ValueOrEmpty(ReadRomFile(kDemoRom)).bytes;
  const RomIdentity rom = IdentifyRom(image);
  constexpr std::int64_t kEnd = 2 * kTicksPerSecond;

  HeadlessSession whole(image, Pacing::Manual);
  whole.ScheduleKeys(script->events);
  ASSERT_EQ(whole.RunUntil(kEnd), StopReason::TimeUp);

  // From the first instructions to the last ticks: in the flash check, in the
  // sleep between keys, with 3 held down.
  for (const std::int64_t cut : {std::int64_t{1}, std::int64_t{40}, std::int64_t{517}, std::int64_t{1000},
                                 std::int64_t{1100}, std::int64_t{1500}, kEnd - 1}) {
    const test::TempFile state({});
    HeadlessSession first(image, Pacing::Manual);
    first.ScheduleKeys(From(script->events, 0, cut));
    ASSERT_EQ(first.RunUntil(cut), StopReason::TimeUp);
    ASSERT_EQ(first.SaveStateFile(state.path(), rom).message(), "") << cut;

    HeadlessSession second(image, Pacing::Manual);
    ASSERT_EQ(second.LoadStateFile(state.path(), rom).message(), "") << cut;
    second.ScheduleKeys(From(script->events, cut, kEnd));
    ASSERT_EQ(second.RunUntil(kEnd - cut), StopReason::TimeUp);
    EXPECT_EQ(test::MachineDifference(whole.calculator(), second.calculator()), "") << "cut at tick " << cut;
  }
}

}  // namespace
}  // namespace pellux
