// Line 0: immediate, bit and MOVEP instructions.
#pragma once

#include "cpu/dispatch_types.h"
#include "cpu/effective_address.h"

namespace pellux {

template <class M>
inline constexpr HandlerRow<M> kLine0Row = kIllegalRow<M>;

}  // namespace pellux
