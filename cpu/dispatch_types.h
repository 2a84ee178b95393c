// Instruction handlers, and the arrays of them specialized at compile time.
#pragma once

#include <array>
#include <cstddef>
#include <type_traits>
#include <utility>

#include "cpu/exceptions.h"
#include "cpu/threaded.h"

namespace pellux {

// The dispatch holds threaded handlers: each body wrapped by Threaded.
template <class M, std::size_t N>
using HandlerArray = std::array<ThreadedHandler<M>, N>;

// What make(std::integral_constant<unsigned, k>) gives, a body threaded:
// make must be a lambda without captures, so that it can be called at
// compile time and its body pointer used as a template argument.
template <class Make, unsigned k>
constexpr auto HandlerEntry() {
  constexpr auto made = Make{}(std::integral_constant<unsigned, k>{});
  if constexpr (std::is_pointer_v<decltype(made)>) {
    return &Threaded<made>;
  } else {
    return made;  // an array of entries already threaded
  }
}

// The N values make(std::integral_constant<unsigned, 0>) ... make(<N - 1>) in
// an array: the way a handler template is specialized on an opcode field
// (a condition, an addressing kind) and each specialization found by index.
template <std::size_t N, class Make>
constexpr auto HandlersBy(Make) {
  return []<unsigned... k>(std::integer_sequence<unsigned, k...>) {
    return std::array{HandlerEntry<Make, k>()...};
  }(std::make_integer_sequence<unsigned, N>{});
}

template <class M>
void IllegalEntry(M& m) {
  RaiseIllegal(m);
}

// The handler of every opcode that is the illegal instruction.
template <class M>
inline constexpr ThreadedHandler<M> kIllegalHandler = &Threaded<&IllegalEntry<M>>;

// make(kind) for each addressing kind in the set kKinds (bit k for kind k),
// IllegalEntry for the kinds never chosen, so that they are not compiled.
template <class M, unsigned kKinds, class Make, unsigned kKind>
constexpr ThreadedHandler<M> KindEntry() {
  if constexpr (((kKinds >> kKind) & 1) != 0) {
    return HandlerEntry<Make, kKind>();
  } else {
    return kIllegalHandler<M>;
  }
}

template <class M, unsigned kKinds, std::size_t N, class Make>
constexpr HandlerArray<M, N> ByKind(Make) {
  return []<unsigned... k>(std::integer_sequence<unsigned, k...>) {
    return HandlerArray<M, N>{KindEntry<M, kKinds, Make, k>()...};
  }(std::make_integer_sequence<unsigned, N>{});
}

template <class M>
void LineAEntry(M& m) {
  RaiseLineA(m);
}

template <class M>
void LineFEntry(M& m) {
  RaiseLineF(m);
}

}  // namespace pellux
