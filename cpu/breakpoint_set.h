// The addresses at which the run loop stops before executing an instruction.
//
// Addresses are kept exactly as entered (full 32 bits, odd values allowed),
// each once, in ascending order. A handful of entries is the usual case, so a
// sorted vector beats a node-based set for the test made before every
// instruction.
//
// Each address remembers who asked for it: the Breakpoints dialog and a gdb
// client may ask for the same address, and one of them taking its own back
// must leave the other's in place. The debugger's Run to Cursor and Step
// Over plant theirs here too for as long as they run, so that every place
// the program stops at is in this one set.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pellux {

// One bit each: an address holds the owners that asked for it.
enum class BreakpointOwner : std::uint8_t { Dialog = 1, Gdb = 2, RunToCursor = 4, StepOver = 8 };

class BreakpointSet {
 public:
  bool Contains(std::uint32_t address) const {
    return std::binary_search(addresses_.begin(), addresses_.end(), address);
  }

  // Whether `owner` is among those who asked for the address.
  bool Contains(std::uint32_t address, BreakpointOwner owner) const {
    const std::size_t at = Find(address);
    return at < addresses_.size() && addresses_[at] == address && (owners_[at] & Bit(owner)) != 0;
  }

  // What the dialog does: inserts the address when absent (true), or erases
  // it when present (false), whoever asked for it.
  bool Toggle(std::uint32_t address) {
    const std::size_t at = Find(address);
    if (at < addresses_.size() && addresses_[at] == address) {
      addresses_.erase(addresses_.begin() + static_cast<std::ptrdiff_t>(at));
      owners_.erase(owners_.begin() + static_cast<std::ptrdiff_t>(at));
      return false;
    }
    Insert(at, address, BreakpointOwner::Dialog);
    return true;
  }

  // Adds `owner` to the address's askers, inserting it when absent.
  void Add(std::uint32_t address, BreakpointOwner owner) {
    const std::size_t at = Find(address);
    if (at < addresses_.size() && addresses_[at] == address) {
      owners_[at] |= Bit(owner);
    } else {
      Insert(at, address, owner);
    }
  }

  // Takes `owner` off the address's askers; the address goes when nobody
  // asks for it any more.
  void Remove(std::uint32_t address, BreakpointOwner owner) {
    const std::size_t at = Find(address);
    if (at < addresses_.size() && addresses_[at] == address) Drop(at, owner);
  }

  // Takes `owner` off every address.
  void RemoveAll(BreakpointOwner owner) {
    for (std::size_t at = addresses_.size(); at-- > 0;) Drop(at, owner);
  }

  bool empty() const { return addresses_.empty(); }
  std::size_t size() const { return addresses_.size(); }
  auto begin() const { return addresses_.begin(); }
  auto end() const { return addresses_.end(); }

 private:
  static std::uint8_t Bit(BreakpointOwner owner) { return static_cast<std::uint8_t>(owner); }

  std::size_t Find(std::uint32_t address) const {
    return static_cast<std::size_t>(std::lower_bound(addresses_.begin(), addresses_.end(), address) -
                                    addresses_.begin());
  }

  void Insert(std::size_t at, std::uint32_t address, BreakpointOwner owner) {
    addresses_.insert(addresses_.begin() + static_cast<std::ptrdiff_t>(at), address);
    owners_.insert(owners_.begin() + static_cast<std::ptrdiff_t>(at), Bit(owner));
  }

  void Drop(std::size_t at, BreakpointOwner owner) {
    owners_[at] &= static_cast<std::uint8_t>(~Bit(owner));
    if (owners_[at] != 0) return;
    addresses_.erase(addresses_.begin() + static_cast<std::ptrdiff_t>(at));
    owners_.erase(owners_.begin() + static_cast<std::ptrdiff_t>(at));
  }

  std::vector<std::uint32_t> addresses_;  // ascending: the run loop's test
  std::vector<std::uint8_t> owners_;      // beside each address, a bit per owner
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
