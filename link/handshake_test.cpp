#include "link/handshake.h"

#include "tests/support/reference_crc.h"

#include <gtest/gtest.h>

#include <string>

namespace tovelin {
namespace {

using testing_support::referenceCksum;

TEST(Handshake, DigestInputIsChallengeBigEndianThenTheSalt) {
  const auto input = digestInput(1);
  ASSERT_EQ(input.size(), 40U);
  EXPECT_EQ(input[0], 0x00);
  EXPECT_EQ(input[1], 0x00);
  EXPECT_EQ(input[2], 0x00);
  EXPECT_EQ(input[3], 0x01);
  EXPECT_EQ(std::string(input.begin() + 4, input.end()), "9F3B27C4-61DA-4E8F-A2C5-7B0D94E1F6A3");

  const auto big = digestInput(0xA1B2C3D4U);
  EXPECT_EQ(big[0], 0xA1);
  EXPECT_EQ(big[3], 0xD4);
}

TEST(Handshake, DigestMatchesAnIndependentCksum) {
  for (const uint32_t challenge : {0U, 1U, 300U, 0x12345678U, 0xFFFFFFFFU}) {
    SCOPED_TRACE(challenge);
    EXPECT_EQ(digest(challenge), referenceCksum(digestInput(challenge)));
  }
}

struct NameCase {
  const char* label;
  std::optional<std::string> host;
  std::string expected;
};

class DeviceName : public testing::TestWithParam<NameCase> {};

TEST_P(DeviceName, KeepsTheLastTwentyUserPerceivedCharacters) {
  EXPECT_EQ(deviceName(GetParam().host), GetParam().expected);
}

// A family emoji: four people joined by zero-width joiners, one character.
const std::string kFamily =
    "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"
    "\xE2\x80\x8D\xF0\x9F\x91\xA6";
// "e" followed by a combining acute accent: one character, two code points.
const std::string kEAcute = "e\xCC\x81";

INSTANTIATE_TEST_SUITE_P(
    Names, DeviceName,
    testing::Values(
        NameCase{"none", std::nullopt, "Macbook"},
        NameCase{"short", std::string("Kitchen"), "Kitchen"},
        NameCase{"exactly20", std::string("ABCDEFGHIJKLMNOPQRST"), "ABCDEFGHIJKLMNOPQRST"},
        NameCase{"twentyfive", std::string("0123456789ABCDEFGHIJKLMNO"), "56789ABCDEFGHIJKLMNO"},
        NameCase{"emojiAtTheEnd", "1234567890123456789012345" + kFamily,
                 "789012345678901234"
                 "5" +
                     kFamily},
        NameCase{"combiningMarks", "abcdefghij" + kEAcute + "klmnopqrstuv",
                 "defghij" + kEAcute + "klmnopqrstuv"}),
    [](const testing::TestParamInfo<NameCase>& param) { return std::string(param.param.label); });

}  // namespace
}  // namespace tovelin
