#include "platform/update/version.h"

#include <gtest/gtest.h>

#include <compare>

namespace update {
namespace {

struct Pair {
  const char* a;
  const char* b;
  int order;  // sign of a <=> b
};

class VersionOrder : public ::testing::TestWithParam<Pair> {};

TEST_P(VersionOrder, ComparesPartByPartAsNumbers) {
  const auto a = Version::parse(GetParam().a);
  const auto b = Version::parse(GetParam().b);
  ASSERT_TRUE(a && b);
  const auto order = *a <=> *b;
  EXPECT_EQ(std::is_lt(order), GetParam().order < 0) << GetParam().a << " vs " << GetParam().b;
  EXPECT_EQ(std::is_eq(order), GetParam().order == 0) << GetParam().a << " vs " << GetParam().b;
  EXPECT_EQ(std::is_gt(order), GetParam().order > 0) << GetParam().a << " vs " << GetParam().b;
  // The other way round, the other answer.
  EXPECT_EQ(std::is_lt(*b <=> *a), GetParam().order > 0);
}

INSTANTIATE_TEST_SUITE_P(Table, VersionOrder,
                         ::testing::Values(Pair{"1.0.0", "1.0.0", 0}, Pair{"1.2", "1.2.0", 0},
                                           Pair{"1", "1.0.0.0", 0}, Pair{"01.2", "1.02", 0},
                                           Pair{"1.0.0", "1.0.1", -1}, Pair{"1.9", "1.10", -1},
                                           Pair{"2.0", "1.99.99", 1}, Pair{"1.0.1", "1.0", 1},
                                           Pair{"10.0", "9.9", 1}, Pair{"0.9", "1", -1},
                                           Pair{"1.2.3", "1.2.3.1", -1},
                                           Pair{"999999999999999999", "2", 1}));

TEST(Version, KeepsItsText) {
  EXPECT_EQ(Version::parse("1.10.0")->text(), "1.10.0");
  EXPECT_EQ(Version::parse("1.10.0")->parts(), (std::vector<uint64_t>{1, 10, 0}));
}

TEST(Version, RefusesWhatIsNotDottedNumbers) {
  for (const char* text : {"", ".", "1.", ".1", "1..2", "1.2a", "v1.2", "1.-2", " 1.2", "1.2 ",
                           "+1", "1,2", "1.2-beta", "1234567890123456789"}) {
    EXPECT_FALSE(Version::parse(text)) << '"' << text << '"';
  }
}

}  // namespace
}  // namespace update
