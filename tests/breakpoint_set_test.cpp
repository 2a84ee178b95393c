// The breakpoint set's operations.
#include <gtest/gtest.h>

#include <vector>

#include "cpu/breakpoint_set.h"

namespace pellux {
namespace {

TEST(BreakpointSet, ToggleKeepsAscendingUniqueAddresses) {
  BreakpointSet set;
  EXPECT_EQ(ActiveBreakpoints(set), nullptr);
  EXPECT_TRUE(ToggleBreakpoint(set, 0x401234));
  EXPECT_TRUE(ToggleBreakpoint(set, 0x00000011));
  EXPECT_TRUE(ToggleBreakpoint(set, 0xFF000000));  // kept unmasked
  EXPECT_EQ(ActiveBreakpoints(set), &set);
  std::vector<std::uint32_t> seen;
  ForEachBreakpoint(set, [&](std::uint32_t a) { seen.push_back(a); });
  EXPECT_EQ(seen, (std::vector<std::uint32_t>{0x11, 0x401234, 0xFF000000}));
  EXPECT_TRUE(ContainsBreakpoint(set, 0x11));
  EXPECT_FALSE(ContainsBreakpoint(set, 0x10));
  EXPECT_FALSE(ContainsBreakpoint(set, 0x01401234)) << "no 24-bit masking";
  EXPECT_FALSE(ToggleBreakpoint(set, 0x401234));
  EXPECT_FALSE(ContainsBreakpoint(set, 0x401234));
  EXPECT_EQ(set.size(), 2u);
}

std::vector<std::uint32_t> Addresses(const BreakpointSet& set) { return {set.begin(), set.end()}; }

// The dialog and gdb may ask for the same address; each taking its own back
// leaves the other's.
TEST(BreakpointSet, AnAddressStaysWhileSomebodyAsksForIt) {
  BreakpointSet set;
  set.Toggle(0x400010);                     // the dialog's
  set.Add(0x400010, BreakpointOwner::Gdb);  // gdb asks for it too
  set.Add(0x400020, BreakpointOwner::Gdb);  // gdb's alone
  set.Add(0x400020, BreakpointOwner::Gdb);  // asked twice, still once
  EXPECT_EQ(Addresses(set), (std::vector<std::uint32_t>{0x400010, 0x400020}));
  set.Remove(0x400010, BreakpointOwner::Gdb);
  set.Remove(0x400030, BreakpointOwner::Gdb);  // never there: nothing
  EXPECT_EQ(Addresses(set), (std::vector<std::uint32_t>{0x400010, 0x400020})) << "the dialog's stays";
  set.Remove(0x400020, BreakpointOwner::Gdb);
  EXPECT_EQ(Addresses(set), (std::vector<std::uint32_t>{0x400010}));

  // gdb's address taken away in the dialog and set there again is the
  // dialog's: gdb letting go of everything leaves it.
  set.Add(0x400040, BreakpointOwner::Gdb);
  EXPECT_FALSE(set.Toggle(0x400040)) << "the dialog removes whoever asked";
  EXPECT_TRUE(set.Toggle(0x400040));
  set.Add(0x400050, BreakpointOwner::Gdb);
  set.RemoveAll(BreakpointOwner::Gdb);
  EXPECT_EQ(Addresses(set), (std::vector<std::uint32_t>{0x400010, 0x400040}));
}

}  // namespace
}  // namespace pellux
