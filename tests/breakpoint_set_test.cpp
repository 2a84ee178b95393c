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

}  // namespace
}  // namespace pellux
