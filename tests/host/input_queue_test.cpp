// The queue between the window's key events and the machine: order, the
// repeats a held key sends, and releasing everything.
#include <gtest/gtest.h>

#include <vector>

#include "host/input_queue.h"

namespace pellux {
namespace {

using Kind = HostInput::Kind;

std::vector<std::pair<Kind, unsigned>> Drain(InputQueue& queue) {
  std::vector<std::pair<Kind, unsigned>> out;
  while (const auto input = queue.Next()) out.emplace_back(input->kind, input->virtualKey);
  return out;
}

using Inputs = std::vector<std::pair<Kind, unsigned>>;

TEST(InputQueue, KeepsArrivalOrder) {
  InputQueue queue;
  queue.Press('A', 10, false);
  queue.Press('B', 11, false);
  queue.Release('A', 12, false);
  queue.ReleaseAll();
  queue.Release('B', 13, false);
  EXPECT_EQ(Drain(queue), (Inputs{{Kind::Press, 'A'}, {Kind::Press, 'B'}, {Kind::Release, 'A'},
                                  {Kind::ReleaseAll, 0}, {Kind::Release, 'B'}}));
  EXPECT_TRUE(queue.Empty());
}

TEST(InputQueue, AHeldKeyUnderX11GivesOnePressAndOneRelease) {
  InputQueue queue;
  queue.Press('A', 100, false);
  EXPECT_EQ(Drain(queue), (Inputs{{Kind::Press, 'A'}}));
  // Repeat pairs: the release and the press share their timestamp, and the
  // toolkit does not always mark them.
  queue.Release('A', 760, false);
  queue.Press('A', 760, false);
  queue.Release('A', 800, true);
  queue.Press('A', 800, true);
  queue.Release('A', 840, false);
  queue.Press('A', 840, true);
  EXPECT_EQ(Drain(queue), Inputs{});
  queue.Release('A', 900, false);  // the real release has a time of its own
  EXPECT_EQ(Drain(queue), (Inputs{{Kind::Release, 'A'}}));
}

TEST(InputQueue, RepeatedPressesWithoutReleasesAreDropped) {
  // Windows repeats presses only; they come marked, or find the key down.
  InputQueue queue;
  queue.Press('A', 1, false);
  queue.Press('A', 2, true);
  queue.Press('A', 3, false);
  queue.Release('A', 4, true);  // a marked release is a repeat too
  EXPECT_EQ(Drain(queue), (Inputs{{Kind::Press, 'A'}}));
}

TEST(InputQueue, AQuickSecondPressWithItsOwnTimeIsAPress) {
  InputQueue queue;
  queue.Press('A', 1, false);
  queue.Release('A', 50, false);
  queue.Press('A', 51, false);
  queue.Release('B', 60, false);  // a pair only matches its own key
  queue.Press('C', 60, false);
  EXPECT_EQ(Drain(queue), (Inputs{{Kind::Press, 'A'}, {Kind::Release, 'A'}, {Kind::Press, 'A'},
                                  {Kind::Release, 'B'}, {Kind::Press, 'C'}}));
}

TEST(InputQueue, ARepeatPairSplitByTheMachineStillCancels) {
  // The release waits in the queue while the machine runs first; the press
  // that completes its pair arrives with the next batch of events.
  InputQueue queue;
  queue.Press('A', 1, false);
  queue.Press('B', 2, false);
  ASSERT_EQ(queue.Next()->virtualKey, 'A');
  queue.Release('B', 700, false);
  queue.Press('B', 700, false);
  EXPECT_EQ(Drain(queue), (Inputs{{Kind::Press, 'B'}}));
}

TEST(InputQueue, ReleaseAllForgetsWhichKeysWereDown) {
  InputQueue queue;
  queue.Press('A', 1, false);
  queue.ReleaseAll();
  queue.Press('A', 5, false);  // held through the focus loss, pressed anew
  EXPECT_EQ(Drain(queue), (Inputs{{Kind::Press, 'A'}, {Kind::ReleaseAll, 0}, {Kind::Press, 'A'}}));
  queue.Press('B', 6, false);
  queue.Clear();
  EXPECT_TRUE(queue.Empty());
  queue.Press('B', 7, false);
  EXPECT_EQ(Drain(queue), (Inputs{{Kind::Press, 'B'}}));
}

}  // namespace
}  // namespace pellux
