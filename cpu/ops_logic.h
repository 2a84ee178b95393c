// Logic, multiply, divide, BCD and exchange: lines 8 and C.
#pragma once

#include "cpu/dispatch_types.h"
#include "cpu/effective_address.h"

namespace pellux {

template <class M>
inline constexpr HandlerRow<M> kLine8Row = kIllegalRow<M>;

template <class M>
inline constexpr HandlerRow<M> kLineCRow = kIllegalRow<M>;

}  // namespace pellux
