// Lines 5-7: ADDQ, SUBQ, Scc, DBcc, Bcc, BSR and MOVEQ.
#pragma once

#include "cpu/dispatch_types.h"
#include "cpu/effective_address.h"

namespace pellux {

template <class M>
inline constexpr HandlerRow<M> kLine5Row = kIllegalRow<M>;

template <class M>
inline constexpr HandlerRow<M> kLine6Row = kIllegalRow<M>;

template <class M>
inline constexpr HandlerRow<M> kLine7Row = kIllegalRow<M>;

}  // namespace pellux
