// Lines 1-3: MOVE and MOVEA, one handler per destination mode.
#pragma once

#include "cpu/dispatch_types.h"
#include "cpu/effective_address.h"

namespace pellux {

template <class M>
inline constexpr HandlerRow<M> kMoveByteRow = kIllegalRow<M>;

template <class M>
inline constexpr HandlerRow<M> kMoveLongRow = kIllegalRow<M>;

template <class M>
inline constexpr HandlerRow<M> kMoveWordRow = kIllegalRow<M>;

}  // namespace pellux
