// Instruction handlers and the rows of eight they are dispatched through.
#pragma once

#include <array>

#include "cpu/exceptions.h"

namespace pellux {

// One handler runs one whole instruction, extension words included.
template <class M>
using Handler = void (*)(M&);

// Eight handlers, chosen by opcode bits 8-6 in the main table and by bits
// 11-9 in the second-level tables.
template <class M>
using HandlerRow = std::array<Handler<M>, 8>;

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
