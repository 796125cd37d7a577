// UUID text and base64, the two encodings of the radio's lines.
#include <gtest/gtest.h>

#include "platform/ble/base64.h"
#include "platform/ble/uuid.h"

namespace ble {
namespace {

TEST(UUIDText, ParsesAnyCaseAndPrintsUpperCase) {
  auto lower = UUID::fromString("e8bca012-f851-449b-b759-e4596b11384b");
  auto upper = UUID::fromString("E8BCA012-F851-449B-B759-E4596B11384B");
  ASSERT_TRUE(lower && upper);
  EXPECT_EQ(*lower, *upper);
  EXPECT_EQ(lower->description(), "E8BCA012-F851-449B-B759-E4596B11384B");
  EXPECT_EQ(lower->bytes()[0], 0xE8);
  EXPECT_EQ(lower->bytes()[15], 0x4B);
  EXPECT_FALSE(*lower == UUID::withString("E8BCA012-F851-449B-B759-E4596B11384C"));
}

TEST(UUIDText, RefusesEverythingButThe8_4_4_4_12Form) {
  for (const char* text :
       {"", "E8BCA012F851449BB759E4596B11384B", "{E8BCA012-F851-449B-B759-E4596B11384B}",
        "E8BCA012-F851-449B-B759-E4596B11384", "E8BCA012-F851-449B-B759-E4596B11384BB",
        "E8BCA012-F851-449B-B759_E4596B11384B", "G8BCA012-F851-449B-B759-E4596B11384B",
        "E8BCA01-2F851-449B-B759-E4596B11384B", " 8BCA012-F851-449B-B759-E4596B11384B"}) {
    EXPECT_FALSE(UUID::fromString(text)) << text;
  }
}

TEST(UUIDTextDeath, WithStringStopsOnBadText) {
  EXPECT_DEATH(UUID::withString("not-a-uuid"), "not a UUID");
}

struct Base64Case {
  std::vector<uint8_t> bytes;
  std::string text;
};

class Base64Vectors : public ::testing::TestWithParam<Base64Case> {};

TEST_P(Base64Vectors, EncodeAndDecodeBothWays) {
  EXPECT_EQ(base64Encode(GetParam().bytes), GetParam().text);
  EXPECT_EQ(base64Decode(GetParam().text), GetParam().bytes);
}

std::vector<uint8_t> bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

INSTANTIATE_TEST_SUITE_P(
    Rfc4648, Base64Vectors,
    ::testing::Values(
        Base64Case{{}, ""}, Base64Case{bytesOf("f"), "Zg=="}, Base64Case{bytesOf("fo"), "Zm8="},
        Base64Case{bytesOf("foo"), "Zm9v"}, Base64Case{bytesOf("foob"), "Zm9vYg=="},
        Base64Case{bytesOf("fooba"), "Zm9vYmE="}, Base64Case{bytesOf("foobar"), "Zm9vYmFy"},
        Base64Case{{0xFF, 0xFE, 0xFD, 0x00, 0x3E, 0x3F}, "//79AD4/"}, Base64Case{{0xFB}, "+w=="}));

TEST(Base64, DecodeIsStrict) {
  for (const char* text : {"Zg", "Zg=", "Zg===", "Z===", "=Zg=", "Zg==Zg==", "Zm9v\n", "Zm 9v",
                           "Zm9-", "Zm9_", "Zh==", "Zm9=", "Zm8=Zm8="}) {
    EXPECT_FALSE(base64Decode(text)) << text;
  }
}

TEST(Base64, EveryByteValueSurvivesARoundTrip) {
  std::vector<uint8_t> all;
  all.reserve(256);
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<uint8_t>(i));
  for (size_t cut = 0; cut < 4; ++cut) {
    std::vector<uint8_t> part(all.begin() + static_cast<std::ptrdiff_t>(cut), all.end());
    EXPECT_EQ(base64Decode(base64Encode(part)), part);
  }
}

}  // namespace
}  // namespace ble
