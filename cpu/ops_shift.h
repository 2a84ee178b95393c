// Line E: shifts and rotates.
#pragma once

#include "cpu/dispatch_types.h"
#include "cpu/effective_address.h"

namespace pellux {

template <class M>
inline constexpr HandlerRow<M> kLineERow = kIllegalRow<M>;

}  // namespace pellux
