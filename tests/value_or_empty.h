// A test's way to go on with the value of a Result.
#pragma once

#include <gtest/gtest.h>

#include <utility>

#include "base/result.h"

namespace pellux::test {

// The value, or (the failure recorded with its message) an empty one that
// the test's own assertions then catch.
template <class T, class E>
T ValueOrEmpty(Result<T, E> result) {
  EXPECT_TRUE(result.ok()) << result.message();
  return result.ok() ? std::move(result).value() : T{};
}

}  // namespace pellux::test
