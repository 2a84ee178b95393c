// The queue between the window's key events and the machine: order, the
// repeats a held key sends, and releasing everything.
#include <gtest/gtest.h>

#include <vector>

#include "host/input_queue.h"

namespace pellux {
namespace {

using Kind = HostInput::Kind;

std::vector<std::pair<Kind, PcKey>> Drain(InputQueue& queue) {
  std::vector<std::pair<Kind, PcKey>> out;
  while (const auto input = queue.Next()) out.emplace_back(input->kind, input->key);
  return out;
}

using Inputs = std::vector<std::pair<Kind, PcKey>>;

TEST(InputQueue, KeepsArrivalOrder) {
  InputQueue queue;
  queue.Press(PcKey::A, 10, false);
  queue.Press(PcKey::B, 11, false);
  queue.Release(PcKey::A, 12, false);
  queue.ReleaseAll();
  queue.Release(PcKey::B, 13, false);
  EXPECT_EQ(Drain(queue), (Inputs{{Kind::Press, PcKey::A},
                                  {Kind::Press, PcKey::B},
                                  {Kind::Release, PcKey::A},
                                  {Kind::ReleaseAll, PcKey::None},
                                  {Kind::Release, PcKey::B}}));
  EXPECT_TRUE(queue.Empty());
}

TEST(InputQueue, AHeldKeyUnderX11GivesOnePressAndOneRelease) {
  InputQueue queue;
  queue.Press(PcKey::A, 100, false);
  EXPECT_EQ(Drain(queue), (Inputs{{Kind::Press, PcKey::A}}));
  // Repeat pairs: the release and the press share their timestamp, and the
  // toolkit does not always mark them.
  queue.Release(PcKey::A, 760, false);
  queue.Press(PcKey::A, 760, false);
  queue.Release(PcKey::A, 800, true);
  queue.Press(PcKey::A, 800, true);
  queue.Release(PcKey::A, 840, false);
  queue.Press(PcKey::A, 840, true);
  EXPECT_EQ(Drain(queue), Inputs{});
  queue.Release(PcKey::A, 900, false);  // the real release has a time of its own
  EXPECT_EQ(Drain(queue), (Inputs{{Kind::Release, PcKey::A}}));
}

TEST(InputQueue, RepeatedPressesWithoutReleasesAreDropped) {
  // Windows repeats presses only; they come marked, or find the key down.
  InputQueue queue;
  queue.Press(PcKey::A, 1, false);
  queue.Press(PcKey::A, 2, true);
  queue.Press(PcKey::A, 3, false);
  queue.Release(PcKey::A, 4, true);  // a marked release is a repeat too
  EXPECT_EQ(Drain(queue), (Inputs{{Kind::Press, PcKey::A}}));
}

TEST(InputQueue, AQuickSecondPressWithItsOwnTimeIsAPress) {
  InputQueue queue;
  queue.Press(PcKey::A, 1, false);
  queue.Release(PcKey::A, 50, false);
  queue.Press(PcKey::A, 51, false);
  queue.Release(PcKey::B, 60, false);  // a pair only matches its own key
  queue.Press(PcKey::C, 60, false);
  EXPECT_EQ(Drain(queue), (Inputs{{Kind::Press, PcKey::A},
                                  {Kind::Release, PcKey::A},
                                  {Kind::Press, PcKey::A},
                                  {Kind::Release, PcKey::B},
                                  {Kind::Press, PcKey::C}}));
}

TEST(InputQueue, ARepeatPairSplitByTheMachineStillCancels) {
  // The release waits in the queue while the machine runs first; the press
  // that completes its pair arrives with the next batch of events.
  InputQueue queue;
  queue.Press(PcKey::A, 1, false);
  queue.Press(PcKey::B, 2, false);
  ASSERT_EQ(queue.Next()->key, PcKey::A);
  queue.Release(PcKey::B, 700, false);
  queue.Press(PcKey::B, 700, false);
  EXPECT_EQ(Drain(queue), (Inputs{{Kind::Press, PcKey::B}}));
}

TEST(InputQueue, ReleaseAllForgetsWhichKeysWereDown) {
  InputQueue queue;
  queue.Press(PcKey::A, 1, false);
  queue.ReleaseAll();
  queue.Press(PcKey::A, 5, false);  // held through the focus loss, pressed anew
  EXPECT_EQ(Drain(queue),
            (Inputs{{Kind::Press, PcKey::A}, {Kind::ReleaseAll, PcKey::None}, {Kind::Press, PcKey::A}}));
  queue.Press(PcKey::B, 6, false);
  queue.Clear();
  EXPECT_TRUE(queue.Empty());
  queue.Press(PcKey::B, 7, false);
  EXPECT_EQ(Drain(queue), (Inputs{{Kind::Press, PcKey::B}}));
}

}  // namespace
}  // namespace pellux
