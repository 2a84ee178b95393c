// Instruction handlers and the rows of eight they are dispatched through.
#pragma once

#include <array>
#include <type_traits>
#include <utility>

#include "cpu/exceptions.h"

namespace pellux {

// One handler runs one whole instruction, extension words included.
template <class M>
using Handler = void (*)(M&);

// Eight handlers, chosen by opcode bits 8-6 in the main table and by bits
// 11-9 in the second-level tables.
template <class M>
using HandlerRow = std::array<Handler<M>, 8>;

// A row of eight handlers by the source mode of opcode bits 5-3, for the
// instructions whose commonest forms pay for a second step that makes the
// source's addressing straight-line code: make takes the mode as a
// std::integral_constant and names the handler for it.
template <class M, class Make, unsigned... kSource>
constexpr HandlerRow<M> BySource(Make make, std::integer_sequence<unsigned, kSource...>) {
  return HandlerRow<M>{make(std::integral_constant<unsigned, kSource>{})...};
}
inline constexpr auto kSourceModes = std::make_integer_sequence<unsigned, 8>{};

template <class M>
void IllegalEntry(M& m) {
  RaiseIllegal(m);
}

template <class M>
void LineAEntry(M& m) {
  RaiseLineA(m);
}

template <class M>
void LineFEntry(M& m) {
  RaiseLineF(m);
}

template <class M>
inline constexpr HandlerRow<M> kIllegalRow = {
    IllegalEntry<M>, IllegalEntry<M>, IllegalEntry<M>, IllegalEntry<M>,
    IllegalEntry<M>, IllegalEntry<M>, IllegalEntry<M>, IllegalEntry<M>};

}  // namespace pellux
