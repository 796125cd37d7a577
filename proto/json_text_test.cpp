#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <limits>
#include <memory>
#include <string>

#include "proto/packet_codec.h"
#include "proto/test_bytes.h"

namespace tovelin {
namespace {

using testing::bytesOf;
using testing::CaseName;

struct JsonCase {
  const char* name;
  std::function<std::unique_ptr<google::protobuf::Message>()> make;
  const char* json;
};

std::unique_ptr<google::protobuf::Message> packetFrom(const char* hex) {
  const auto parsed = parsePacket(bytesOf(hex));
  EXPECT_TRUE(parsed.has_value()) << hex;
  return std::make_unique<Packet>(parsed.value_or(Packet()));
}

std::unique_ptr<google::protobuf::Message> requestOf(int32_t version, uint32_t challenge) {
  auto r = std::make_unique<AuthenticationRequest>();
  r->set_version(version);
  r->set_challenge(challenge);
  return r;
}

std::unique_ptr<google::protobuf::Message> accelOf(double x, double y, double z) {
  auto p = std::make_unique<Packet>();
  p->mutable_acceleration_update()->set_x(x);
  p->mutable_acceleration_update()->set_y(y);
  p->mutable_acceleration_update()->set_z(z);
  return p;
}

std::unique_ptr<google::protobuf::Message> responseOf(uint32_t digest, const char* pin,
                                                      const char* name) {
  auto p = std::make_unique<Packet>();
  auto* r = p->mutable_auth_response();
  r->set_digest(digest);
  r->set_pin_code(pin);
  r->set_device_name(name);
  return p;
}

constexpr double kInf = std::numeric_limits<double>::infinity();

const JsonCase kCases[] = {
    {"Request", [] { return requestOf(3, 7); }, R"({"version":3,"challenge":7})"},
    {"RequestWithDefaultVersion", [] { return requestOf(0, 7); }, R"({"challenge":7})"},
    {"NegativeVersion", [] { return requestOf(-1, 0); }, R"({"version":-1})"},
    {"LargestChallengeIsANumber", [] { return requestOf(0, 4294967295U); },
     R"({"challenge":4294967295})"},
    {"InvalidAuthenticationHidesUnknownBytes",
     [] {
       auto m = std::make_unique<InvalidAuthentication>();
       const auto raw = bytesOf("08 05 12 01 41");
       EXPECT_TRUE(m->ParseFromArray(raw.data(), 5));
       return m;
     },
     "{}"},
    {"EmptyAuthInvalidCase", [] { return packetFrom("22 00"); }, R"({"authInvalid":{}})"},
    {"UnsetOneof", [] { return packetFrom(""); }, "{}"},
    {"UnsetOneofWithUnknownBytes", [] { return packetFrom("28 07 32 01 41"); }, "{}"},
    {"UnknownBytesInsidePayload",
     [] { return packetFrom("0A 0B 09 00 00 00 00 00 00 F8 3F 28 07"); },
     R"({"accelerationUpdate":{"x":1.5}})"},
    {"DefaultResponseCase", [] { return packetFrom("1A 00"); }, R"({"authResponse":{}})"},
    {"Response", [] { return responseOf(3735928559U, "1234", "Mac"); },
     R"({"authResponse":{"digest":3735928559,"pinCode":"1234","deviceName":"Mac"}})"},
    {"ResponseWithEmptyPin", [] { return responseOf(5, "", "Mac"); },
     R"({"authResponse":{"digest":5,"deviceName":"Mac"}})"},
    {"TextIsEscaped", [] { return responseOf(0, "a\"b\\c", "x\ny"); },
     R"({"authResponse":{"pinCode":"a\"b\\c","deviceName":"x\ny"}})"},
    {"NonAsciiTextIsWrittenAsIs", [] { return responseOf(0, "", "Ren\xC3\xA9"); },
     "{\"authResponse\":{\"deviceName\":\"Ren\xC3\xA9\"}}"},
    {"NotNumbers", [] { return accelOf(std::numeric_limits<double>::quiet_NaN(), kInf, -kInf); },
     R"({"accelerationUpdate":{"x":"NaN","y":"Infinity","z":"-Infinity"}})"},
    {"NegativeZeroIsVisited", [] { return accelOf(0.0, 0.0, -0.0); },
     R"({"accelerationUpdate":{"z":-0}})"},
    {"Doubles", [] { return accelOf(1.0, -0.25, 1e300); },
     R"({"accelerationUpdate":{"x":1,"y":-0.25,"z":1e+300}})"},
};

class JsonText : public ::testing::TestWithParam<JsonCase> {};

TEST_P(JsonText, RendersExactly) {
  const auto message = GetParam().make();
  EXPECT_EQ(jsonString(*message), GetParam().json);
}

INSTANTIATE_TEST_SUITE_P(Messages, JsonText, ::testing::ValuesIn(kCases), CaseName());

TEST(JsonText, BytesThatAreNotUtf8AreLeftOutOfATextAndTheRestKept) {
  Packet packet;
  packet.mutable_auth_response()->set_pin_code(
      "a\xFF"
      "b\xC3\xA9"
      "c");
  packet.mutable_auth_response()->set_device_name("\xFF");
  EXPECT_EQ(jsonString(packet),
            "{\"authResponse\":{\"pinCode\":\"ab\xC3\xA9"
            "c\",\"deviceName\":\"\"}}");
}

// A name printed on a diagnostic line must not reorder or split it on a
// terminal: the separators and every direction control come out escaped.
TEST(JsonText, SeparatorsAndDirectionControlsAreEscaped) {
  struct Case {
    const char* utf8;
    const char* escaped;
  };
  const Case cases[] = {
      {"\xE2\x80\xA8", "\\u2028"}, {"\xE2\x80\xA9", "\\u2029"}, {"\xE2\x80\xAA", "\\u202a"},
      {"\xE2\x80\xAE", "\\u202e"}, {"\xE2\x81\xA6", "\\u2066"}, {"\xE2\x81\xA7", "\\u2067"},
      {"\xE2\x81\xA8", "\\u2068"}, {"\xE2\x81\xA9", "\\u2069"},
  };
  for (const auto& c : cases) {
    const auto text = jsonString(*responseOf(0, "", (std::string("a") + c.utf8 + "b").c_str()));
    EXPECT_EQ(text, std::string(R"({"authResponse":{"deviceName":"a)") + c.escaped + R"(b"}})")
        << c.escaped;
  }
  // U+2060 and U+206A, on either side of the isolates, the runtime escapes
  // itself; other text is written as it is.
  EXPECT_EQ(jsonString(*responseOf(0, "", "\xE2\x81\xA0\xE2\x81\xAA")),
            R"({"authResponse":{"deviceName":"\u2060\u206a"}})");
  EXPECT_EQ(jsonString(*responseOf(0, "", "\xE2\x82\xAC\xE2\x80\x94")),
            "{\"authResponse\":{\"deviceName\":\"\xE2\x82\xAC\xE2\x80\x94\"}}");
  // Every isolate of a text, in both fields.
  EXPECT_EQ(jsonString(*responseOf(0, "\xE2\x81\xA9", "\xE2\x81\xA6P\xE2\x81\xA7\xE2\x81\xA9")),
            R"({"authResponse":{"pinCode":"\u2069","deviceName":"\u2066P\u2067\u2069"}})");
}

TEST(JsonText, RequestExampleIsTwentySevenCharacters) {
  const auto text = jsonString(*requestOf(3, 7));
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(text->size(), 27U);
}

TEST(JsonText, ShortestDoublesReadBackAsTheSameValue) {
  for (const double v : {0.1, 1.0 / 3.0, 5e-324, -123456789.125, 2.2250738585072014e-308}) {
    const auto text = jsonString(*accelOf(v, 0, 0));
    ASSERT_TRUE(text.has_value());
    const std::string prefix = R"({"accelerationUpdate":{"x":)";
    ASSERT_EQ(text->rfind(prefix, 0), 0U) << *text;
    const std::string number = text->substr(prefix.size(), text->size() - prefix.size() - 2);
    EXPECT_EQ(std::strtod(number.c_str(), nullptr), v) << *text;
  }
}

}  // namespace
}  // namespace tovelin
