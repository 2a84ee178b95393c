// The speeds the machine can be run at, against real time.
#pragma once

#include <cstdint>

namespace pellux {

// How fast calculator time runs against real time. Unlimited: one tick per
// run slice and per idle pass, as fast as the host goes.
enum class Speed { Real, Double, Quadruple, Unlimited };

// The real calculator's processor: a 12 MHz 68000 averages 8 to 10 clock
// cycles an instruction.
constexpr std::int64_t kCalculatorInstructionsPerSecond = 1'200'000;

}  // namespace pellux
