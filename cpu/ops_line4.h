// Line 4 operand instructions, and the decoding of the whole line.
#pragma once

#include "cpu/dispatch_types.h"
#include "cpu/effective_address.h"
#include "cpu/ops_flow.h"

namespace pellux {

// Line 4, bits 8-6 = 001, by bits 11-9.
template <class M>
inline constexpr HandlerRow<M> kLine4WordGroup = {
    IllegalEntry<M>, IllegalEntry<M>, IllegalEntry<M>, IllegalEntry<M>,
    IllegalEntry<M>, IllegalEntry<M>, IllegalEntry<M>, Group4E40<M>};

template <class M>
void Line4Word(M& m) {
  kLine4WordGroup<M>[m.cpu.opReg2()](m);
}

template <class M>
inline constexpr HandlerRow<M> kLine4Row = {
    IllegalEntry<M>, Line4Word<M>,    IllegalEntry<M>, IllegalEntry<M>,
    IllegalEntry<M>, IllegalEntry<M>, IllegalEntry<M>, IllegalEntry<M>};

}  // namespace pellux
