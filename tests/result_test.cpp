#include "base/result.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace pellux {
namespace {

enum class Door { Locked, Missing };

Result<int> Half(int n) {
  if (n % 2 != 0) return Fail(std::to_string(n) + " is odd");
  return n / 2;
}

Result<std::unique_ptr<int>, KindedError<Door>> Open(int key) {
  if (key == 0) return Fail(Door::Missing, "no door");
  if (key < 0) return Fail(Door::Locked, "the door is locked");
  return std::make_unique<int>(key);
}

TEST(Result, HoldsTheValueOrTheMessageAndSaysWhich) {
  const Result<int> good = Half(8);
  ASSERT_TRUE(good.ok());
  EXPECT_EQ(*good, 4);
  EXPECT_EQ(good.message(), "");

  const Result<int> bad = Half(7);
  ASSERT_FALSE(bad.ok());
  EXPECT_FALSE(bad);
  EXPECT_EQ(bad.message(), "7 is odd");
  EXPECT_EQ(bad.error().message, "7 is odd");
}

TEST(Result, KindsAreToldApartAndValuesThatOnlyMoveComeOut) {
  EXPECT_TRUE(FailedWith(Open(-1), Door::Locked));
  EXPECT_FALSE(FailedWith(Open(-1), Door::Missing));
  EXPECT_TRUE(FailedWith(Open(0), Door::Missing));
  EXPECT_EQ(Open(0).message(), "no door");
  EXPECT_FALSE(FailedWith(Open(3), Door::Locked)) << "a success fails with no kind";

  Result<std::unique_ptr<int>, KindedError<Door>> opened = Open(3);
  ASSERT_TRUE(opened.ok());
  const std::unique_ptr<int> taken = std::move(opened).value();
  EXPECT_EQ(*taken, 3);
}

TEST(Status, IsOkOrCarriesTheErrorOnward) {
  const auto check = [](int n) -> Status {
    if (const Result<int> half = Half(n); !half.ok()) return half.error();
    return Ok();
  };
  EXPECT_TRUE(check(2).ok());
  EXPECT_EQ(check(2).message(), "");
  const Status odd = check(5);
  ASSERT_FALSE(odd.ok());
  EXPECT_EQ(odd.message(), "5 is odd");
}

}  // namespace
}  // namespace pellux
