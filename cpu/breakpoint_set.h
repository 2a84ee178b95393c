// The addresses at which the run loop stops before executing an instruction.
//
// Addresses are kept exactly as entered (full 32 bits, odd values allowed),
// each once, in ascending order. A handful of entries is the usual case, so a
// sorted vector beats a node-based set for the test made before every
// instruction.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace pellux {

class BreakpointSet {
 public:
  bool Contains(std::uint32_t address) const {
    return std::binary_search(addresses_.begin(), addresses_.end(), address);
  }

  // Inserts the address when absent (true) or erases it when present (false).
  bool Toggle(std::uint32_t address) {
    const auto it = std::lower_bound(addresses_.begin(), addresses_.end(), address);
    if (it != addresses_.end() && *it == address) {
      addresses_.erase(it);
      return false;
    }
    addresses_.insert(it, address);
    return true;
  }

  bool empty() const { return addresses_.empty(); }
  std::size_t size() const { return addresses_.size(); }
  auto begin() const { return addresses_.begin(); }
  auto end() const { return addresses_.end(); }

 private:
  std::vector<std::uint32_t> addresses_;
};

inline bool ContainsBreakpoint(const BreakpointSet& set, std::uint32_t address) {
  return set.Contains(address);
}

inline bool ToggleBreakpoint(BreakpointSet& set, std::uint32_t address) {
  return set.Toggle(address);
}

// Calls visit(address) for each address in ascending order.
template <class Visit>
void ForEachBreakpoint(const BreakpointSet& set, Visit&& visit) {
  for (const std::uint32_t address : set) visit(address);
}

// The set when it holds an address, else none: with no breakpoints the run
// loop makes no test at all.
inline const BreakpointSet* ActiveBreakpoints(const BreakpointSet& set) {
  return set.empty() ? nullptr : &set;
}

}  // namespace pellux
