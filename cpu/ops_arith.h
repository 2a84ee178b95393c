// Add, subtract and compare: lines 9, B and D.
#pragma once

#include "cpu/dispatch_types.h"
#include "cpu/effective_address.h"

namespace pellux {

template <class M>
inline constexpr HandlerRow<M> kLine9Row = kIllegalRow<M>;

template <class M>
inline constexpr HandlerRow<M> kLineBRow = kIllegalRow<M>;

template <class M>
inline constexpr HandlerRow<M> kLineDRow = kIllegalRow<M>;

}  // namespace pellux
