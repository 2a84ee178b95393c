// Instruction handlers, and the arrays of them specialized at compile time.
#pragma once

#include <array>
#include <cstddef>
#include <type_traits>
#include <utility>

#include "cpu/exceptions.h"

namespace pellux {

// One handler runs one whole instruction, extension words included.
template <class M>
using Handler = void (*)(M&);

template <class M, std::size_t N>
using HandlerArray = std::array<Handler<M>, N>;

// The N values make(std::integral_constant<unsigned, 0>) ... make(<N - 1>) in
// an array: the way a handler template is specialized on an opcode field
// (a condition, an addressing kind) and each specialization found by index.
template <std::size_t N, class Make>
constexpr auto HandlersBy(Make make) {
  return [&]<unsigned... k>(std::integer_sequence<unsigned, k...>) {
    return std::array{make(std::integral_constant<unsigned, k>{})...};
  }(std::make_integer_sequence<unsigned, N>{});
}

template <class M>
void IllegalEntry(M& m) {
  RaiseIllegal(m);
}

// make(kind) for each addressing kind in the set kKinds (bit k for kind k),
// IllegalEntry for the kinds never chosen, so that they are not compiled.
template <class M, unsigned kKinds, std::size_t N, class Make>
constexpr HandlerArray<M, N> ByKind(Make make) {
  return HandlersBy<N>([&](auto kind) -> Handler<M> {
    if constexpr (((kKinds >> kind()) & 1) != 0) {
      return make(kind);
    } else {
      return &IllegalEntry<M>;
    }
  });
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
