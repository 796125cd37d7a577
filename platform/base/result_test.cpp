#include "platform/base/result.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace base {
namespace {

Result<int> half(int n) {
  if (n % 2 != 0) return fail(std::to_string(n) + " is odd");
  return n / 2;
}

TEST(Result, CarriesTheValueOrTheReason) {
  const Result<int> good = half(8);
  ASSERT_TRUE(good);
  EXPECT_EQ(*good, 4);
  const Result<int> bad = half(3);
  ASSERT_FALSE(bad);
  EXPECT_EQ(bad.error().message, "3 is odd");
}

TEST(Result, MovesOutValuesThatCannotBeCopied) {
  Result<std::unique_ptr<int>> r = std::make_unique<int>(7);
  std::unique_ptr<int> p = *std::move(r);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(*p, 7);
}

TEST(Result, VoidResultIsSuccessOrReason) {
  EXPECT_TRUE(ok());
  const Result<void> bad = fail("disk full");
  ASSERT_FALSE(bad);
  EXPECT_EQ(bad.error().message, "disk full");
}

}  // namespace
}  // namespace base
