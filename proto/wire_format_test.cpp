#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "proto/message_values.h"
#include "proto/packet_codec.h"
#include "proto/test_bytes.h"

namespace tovelin {
namespace {

using testing::bytesOf;
using testing::CaseName;
using testing::hexOf;

// Encoding: a packet built in memory gives exactly these bytes, and those bytes
// decode back to the same packet.
struct EncodeCase {
  const char* name;
  std::function<Packet()> build;
  const char* hex;
  bool comparable = true;  // false when the value holds a NaN
};

Packet request(int32_t version, uint32_t challenge) {
  Packet p;
  p.mutable_auth_request()->set_version(version);
  p.mutable_auth_request()->set_challenge(challenge);
  return p;
}

Packet acceleration(double x, double y, double z) {
  Packet p;
  p.mutable_acceleration_update()->set_x(x);
  p.mutable_acceleration_update()->set_y(y);
  p.mutable_acceleration_update()->set_z(z);
  return p;
}

const EncodeCase kEncodeCases[] = {
    {"NoCase", [] { return Packet(); }, ""},
    {"EmptyAuthInvalid",
     [] {
       Packet p;
       p.mutable_auth_invalid();
       return p;
     },
     "22 00"},
    {"DefaultAuthResponse",
     [] {
       Packet p;
       p.mutable_auth_response();
       return p;
     },
     "1A 00"},
    {"AccelerationWithNegativeZero", [] { return acceleration(1.0, 0.0, -0.0); },
     "0A 12 09 00 00 00 00 00 00 F0 3F 19 00 00 00 00 00 00 00 80"},
    {"AccelerationAllPositiveZero", [] { return acceleration(0.0, 0.0, 0.0); }, "0A 00"},
    {"AccelerationNaNIsWritten",
     [] { return acceleration(0.0, 0.0, std::numeric_limits<double>::quiet_NaN()); },
     "0A 09 19 00 00 00 00 00 00 F8 7F", false},
    {"Request", [] { return request(2, 300); }, "12 05 08 02 10 AC 02"},
    {"NegativeVersionTakesTenBytes", [] { return request(-1, 0); },
     "12 0B 08 FF FF FF FF FF FF FF FF FF 01"},
    {"LargestChallenge", [] { return request(0, 4294967295U); }, "12 06 10 FF FF FF FF 0F"},
    {"Response",
     [] {
       Packet p;
       auto* r = p.mutable_auth_response();
       r->set_digest(0x01020304U);
       r->set_pin_code("1234");
       r->set_device_name("Mac");
       return p;
     },
     "1A 10 08 84 86 88 08 12 04 31 32 33 34 1A 03 4D 61 63"},
};

class Encoding : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(Encoding, GivesTheseBytesAndDecodesBack) {
  const EncodeCase& c = GetParam();
  const Packet value = c.build();
  EXPECT_EQ(hexOf(serializePacket(value)), c.hex);
  const auto decoded = parsePacket(bytesOf(c.hex));
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(hexOf(serializePacket(*decoded)), c.hex);
  if (c.comparable) {
    EXPECT_TRUE(*decoded == value);
  }
}

INSTANTIATE_TEST_SUITE_P(Packets, Encoding, ::testing::ValuesIn(kEncodeCases), CaseName());

// Decoding: the bytes received, what the packet then holds, and how it encodes again.
struct DecodeCase {
  const char* name;
  const char* hex;
  std::function<Packet()> expected;
  const char* reencoded;
};

Packet withUnknown(Packet p, const std::string& unknownHex) {
  const auto raw = bytesOf(unknownHex);
  Packet carrier;
  EXPECT_TRUE(carrier.ParseFromArray(raw.data(), static_cast<int>(raw.size())));
  p.GetReflection()->MutableUnknownFields(&p)->MergeFrom(
      carrier.GetReflection()->GetUnknownFields(carrier));
  return p;
}

const DecodeCase kDecodeCases[] = {
    {"Empty", "", [] { return Packet(); }, ""},
    {"EmptyAccelerationIsAllZero", "0A 00", [] { return acceleration(0, 0, 0); }, "0A 00"},
    {"FiveByteVersionIsMinusOne", "12 06 08 FF FF FF FF 0F", [] { return request(-1, 0); },
     "12 0B 08 FF FF FF FF FF FF FF FF FF 01"},
    {"RepeatedCaseMerges",
     "0A 12 09 00 00 00 00 00 00 F0 3F 11 00 00 00 00 00 00 00 40 "
     "0A 09 11 00 00 00 00 00 00 14 40",
     [] { return acceleration(1.0, 5.0, 0.0); },
     "0A 12 09 00 00 00 00 00 00 F0 3F 11 00 00 00 00 00 00 14 40"},
    {"DifferentCaseReplaces", "12 04 08 02 10 07 0A 09 09 00 00 00 00 00 00 F0 3F",
     [] { return acceleration(1.0, 0, 0); }, "0A 09 09 00 00 00 00 00 00 F0 3F"},
    {"CaseAfterReplacementStartsAfresh",
     "12 04 08 02 10 07 0A 09 09 00 00 00 00 00 00 F0 3F 12 02 10 09", [] { return request(0, 9); },
     "12 02 10 09"},
    {"OneofNumberWithVarintGoesToUnknown", "08 01", [] { return withUnknown(Packet(), "08 01"); },
     "08 01"},
    {"UnknownAfterCaseKeepsCase", "08 01 22 00",
     [] {
       Packet p;
       p.mutable_auth_invalid();
       return withUnknown(p, "08 01");
     },
     "22 00 08 01"},
    {"UnknownNumberIsWrittenAfterDeclaredFields", "28 07 0A 00",
     [] { return withUnknown(acceleration(0, 0, 0), "28 07"); }, "0A 00 28 07"},
    {"InvalidAuthenticationKeepsEverythingAsUnknown", "22 05 08 05 12 01 41",
     [] {
       Packet p;
       const auto raw = bytesOf("08 05 12 01 41");
       EXPECT_TRUE(p.mutable_auth_invalid()->ParseFromArray(raw.data(), 5));
       return p;
     },
     "22 05 08 05 12 01 41"},
    {"ZeroOverwritesEarlierValue", "12 04 08 05 08 00", [] { return request(0, 0); }, "12 00"},
    {"EmptyTextOverwritesEarlierText", "1A 05 12 01 41 12 00",
     [] {
       Packet p;
       p.mutable_auth_response();
       return p;
     },
     "1A 00"},
    {"ClaimedNumberWithWrongWireTypeIsUnknown", "12 09 08 03 10 01 0D 01 00 00 00",
     [] {
       Packet p = request(3, 1);
       const auto raw = bytesOf("0D 01 00 00 00");
       auto* r = p.mutable_auth_request();
       EXPECT_TRUE(r->GetReflection()->MutableUnknownFields(r)->ParseFromArray(raw.data(), 5));
       return p;
     },
     "12 09 08 03 10 01 0D 01 00 00 00"},
};

class Decoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Decoding, HoldsTheValueAndEncodesAgain) {
  const DecodeCase& c = GetParam();
  const auto decoded = parsePacket(bytesOf(c.hex));
  ASSERT_TRUE(decoded.has_value());
  EXPECT_TRUE(*decoded == c.expected()) << decoded->ShortDebugString();
  EXPECT_EQ(hexOf(serializePacket(*decoded)), c.reencoded);
}

INSTANTIATE_TEST_SUITE_P(Packets, Decoding, ::testing::ValuesIn(kDecodeCases), CaseName());

// Values that are not one valid packet: the whole decode fails, silently.
struct RejectCase {
  const char* name;
  const char* hex;
};

const RejectCase kRejectCases[] = {
    {"PinNotUtf8", "1A 03 12 01 FF"},
    {"DeviceNameLoneLeadByte", "1A 03 1A 01 C0"},
    {"DeviceNameSurrogate", "1A 05 1A 03 ED A0 80"},
    {"DeviceNameOverlong", "1A 04 1A 02 C0 80"},
    {"DeviceNameBeyondUnicode", "1A 06 1A 04 F4 90 80 80"},
    {"BadTextAfterGoodCase", "0A 00 1A 03 12 01 FF"},
    {"LengthPastEnd", "0A 05 09"},
    {"DoublePastEnd", "0A 05 09 00 00 00 00"},
    {"TagWithoutValue", "12 01 08"},
    {"LoneTag", "12"},
    {"FieldNumberZero", "00"},
    {"FieldNumberZeroInPayload", "12 02 00 01"},
    {"WireTypeSix", "0E"},
    {"WireTypeSeven", "0F"},
    {"StrayEndGroup", "0C"},
    {"VarintOfElevenBytes", "12 0C 08 FF FF FF FF FF FF FF FF FF FF 01"},
};

class Rejecting : public ::testing::TestWithParam<RejectCase> {};

TEST_P(Rejecting, FailsTheWholeDecodeWithoutPrinting) {
  ::testing::internal::CaptureStderr();
  ::testing::internal::CaptureStdout();
  const auto decoded = parsePacket(bytesOf(GetParam().hex));
  const std::string out = ::testing::internal::GetCapturedStdout();
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(decoded.has_value());
  EXPECT_EQ(out, "");
  EXPECT_EQ(err, "");
}

INSTANTIATE_TEST_SUITE_P(Packets, Rejecting, ::testing::ValuesIn(kRejectCases), CaseName());

TEST(Decoding, AcceptsMultiByteTextAndKeepsItsBytes) {
  // "é😀" in UTF-8.
  const auto decoded = parsePacket(bytesOf("1A 08 1A 06 C3 A9 F0 9F 98 80"));
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(decoded->auth_response().device_name(), "\xC3\xA9\xF0\x9F\x98\x80");
}

std::vector<uint8_t> nestedUnknownGroups(int depth) {
  // Field 5 as a group (start 2B, end 2C), nested `depth` times.
  std::vector<uint8_t> bytes(static_cast<size_t>(depth), 0x2B);
  bytes.insert(bytes.end(), static_cast<size_t>(depth), 0x2C);
  return bytes;
}

TEST(Decoding, NestingIsLimitedToAHundredLevels) {
  EXPECT_TRUE(parsePacket(nestedUnknownGroups(100)).has_value());
  EXPECT_FALSE(parsePacket(nestedUnknownGroups(101)).has_value());
  EXPECT_FALSE(parsePacket(nestedUnknownGroups(5000)).has_value());
}

TEST(Decoding, UnknownGroupsComeBackByteForByte) {
  const auto bytes = bytesOf("22 00 2B 08 01 2C");
  const auto decoded = parsePacket(bytes);
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(serializePacket(*decoded), bytes);
}

}  // namespace
}  // namespace tovelin
