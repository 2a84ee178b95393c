// The small functions every instruction goes through (the bus, the
// instruction stream, operand decoding) are worth inlining into each
// handler whatever the compiler's size heuristics say.
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#define PELLUX_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define PELLUX_ALWAYS_INLINE inline
#endif
