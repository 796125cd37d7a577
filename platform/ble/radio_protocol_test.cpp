#include "platform/ble/radio_protocol.h"

#include <gtest/gtest.h>

namespace ble::radio {
namespace {

const UUID kService = UUID::withString("E8BCA012-F851-449B-B759-E4596B11384B");
const UUID kChar = UUID::withString("54AA3DEB-4BB3-4251-BC28-DF790499DF37");

TEST(RadioProtocol, RadioMessagesPrintAsDocumented) {
  EXPECT_EQ(encode(RadioMessage(Connected{})), R"({"type":"connected"})");
  EXPECT_EQ(encode(RadioMessage(Disconnected{})), R"({"type":"disconnected"})");
  EXPECT_EQ(encode(RadioMessage(Subscribe{kService, kChar, true})),
            R"({"type":"subscribe","service":"E8BCA012-F851-449B-B759-E4596B11384B",)"
            R"("characteristic":"54AA3DEB-4BB3-4251-BC28-DF790499DF37","enabled":true})");
  EXPECT_EQ(encode(RadioMessage(Write{kService, kChar, {0x1A, 0x00}, false})),
            R"({"type":"write","service":"E8BCA012-F851-449B-B759-E4596B11384B",)"
            R"("characteristic":"54AA3DEB-4BB3-4251-BC28-DF790499DF37","value":"GgA=",)"
            R"("withResponse":false})");
}

TEST(RadioProtocol, PhoneMessagesRoundTrip) {
  const Advertise advertise{UUID::withString("11111111-2222-3333-4444-555555555555"),
                            "Phone \xC3\xA9",
                            {{kService, {kChar}}}};
  const std::string line = encode(PhoneMessage(advertise));
  EXPECT_EQ(line,
            "{\"type\":\"advertise\",\"id\":\"11111111-2222-3333-4444-555555555555\","
            "\"name\":\"Phone \xC3\xA9\",\"services\":[{\"uuid\":"
            "\"E8BCA012-F851-449B-B759-E4596B11384B\",\"characteristics\":"
            "[\"54AA3DEB-4BB3-4251-BC28-DF790499DF37\"]}]}");
  auto parsed = parsePhoneMessage(line);
  ASSERT_TRUE(parsed) << parsed.error().message;
  const auto& back = std::get<Advertise>(*parsed);
  EXPECT_EQ(back.id, advertise.id);
  EXPECT_EQ(back.name, advertise.name);
  EXPECT_EQ(back.services, advertise.services);

  auto notify =
      parsePhoneMessage(encode(PhoneMessage(Notify{kService, kChar, {0xFF, 0}, std::nullopt})));
  ASSERT_TRUE(notify);
  EXPECT_EQ(std::get<Notify>(*notify).value, (std::vector<uint8_t>{0xFF, 0}));

  // A failed update carries its error and may leave the value out.
  auto failed =
      parsePhoneMessage(R"({"type":"notify","service":"E8BCA012-F851-449B-B759-E4596B11384B",)"
                        R"("characteristic":"54AA3DEB-4BB3-4251-BC28-DF790499DF37",)"
                        R"("error":"Insufficient encryption"})");
  ASSERT_TRUE(failed) << failed.error().message;
  EXPECT_EQ(std::get<Notify>(*failed).error, "Insufficient encryption");
  EXPECT_TRUE(std::get<Notify>(*failed).value.empty());

  EXPECT_EQ(
      encode(PhoneMessage(Advertise{kChar, std::nullopt, {}})),
      R"({"type":"advertise","id":"54AA3DEB-4BB3-4251-BC28-DF790499DF37","name":null,"services":[]})");
}

TEST(RadioProtocol, LowerCaseUuidsAndExtraFieldsAreAccepted) {
  auto parsed = parseRadioMessage(
      R"({"withResponse":true,"value":"AA==","characteristic":"54aa3deb-4bb3-4251-bc28-df790499df37",)"
      R"("service":"e8bca012-f851-449b-b759-e4596b11384b","type":"write","note":1})");
  ASSERT_TRUE(parsed) << parsed.error().message;
  const auto& write = std::get<Write>(*parsed);
  EXPECT_EQ(write.service, kService);
  EXPECT_EQ(write.characteristic, kChar);
  EXPECT_EQ(write.value, std::vector<uint8_t>{0});
  EXPECT_TRUE(write.withResponse);
}

TEST(RadioProtocol, MalformedRadioLinesNameTheProblem) {
  const std::pair<std::string, std::string> table[] = {
      {R"({"type":"subscribe","service":"E8BCA012-F851-449B-B759-E4596B11384B","characteristic":"54AA3DEB-4BB3-4251-BC28-DF790499DF37","enabled":"yes"})",
       "\"enabled\" is not true or false"},
      {R"({"type":"write","service":"E8BCA012-F851-449B-B759-E4596B11384B","characteristic":"54AA3DEB-4BB3-4251-BC28-DF790499DF37","value":"AA=="})",
       "missing field \"withResponse\""},
      {R"({"type":"advertise"})", "unknown message type \"advertise\""},
      {R"({"type":1})", "no \"type\""},
      {"{\"type\":\"connected\"", "not a JSON object"},
  };
  for (const auto& [line, problem] : table) {
    auto parsed = parseRadioMessage(line);
    ASSERT_FALSE(parsed) << line;
    EXPECT_NE(parsed.error().message.find(problem), std::string::npos) << parsed.error().message;
  }
}

TEST(RadioProtocol, DeeplyNestedTextIsRefusedWithoutHarm) {
  const std::string line = std::string(30000, '[') + std::string(30000, ']');
  EXPECT_FALSE(parsePhoneMessage(line));
  const std::string nested = R"({"type":"disconnect","x":)" + line + "}";
  EXPECT_TRUE(parsePhoneMessage(nested));
}

// Text a phone controls that ends up in one-line diagnostics and menus: each
// of these could end a line or reorder it on screen, so the line is refused.
struct UnsafeText {
  const char* label;
  std::string text;  // as it appears inside the JSON string, escapes allowed
  const char* complaint;
};

const UnsafeText kUnsafeTexts[] = {
    {"line_feed", "A\\nB", "U+000A"},
    {"escaped_nul", "A\\u0000B", "U+0000"},
    {"delete", "A\x7F", "U+007F"},
    {"c1_next_line",
     "A\xC2\x85"
     "B",
     "U+0085"},
    {"c1_first", "\xC2\x80", "U+0080"},
    {"c1_last", "\xC2\x9F", "U+009F"},
    {"line_separator",
     "A\xE2\x80\xA8"
     "B",
     "U+2028"},
    {"paragraph_separator", "A\\u2029B", "U+2029"},
    {"left_to_right_embedding", "\xE2\x80\xAA", "U+202A"},
    {"right_to_left_override", "evil\xE2\x80\xAEtxt.exe", "U+202E"},
    {"left_to_right_isolate", "\xE2\x81\xA6", "U+2066"},
    {"pop_directional_isolate", "\xE2\x81\xA9", "U+2069"},
};

TEST(RadioProtocol, NamesAndErrorsThatCouldForgeALineAreRefused) {
  const std::string ids = R"("id":"11111111-2222-3333-4444-555555555555",)";
  const std::string notifyHead =
      R"({"type":"notify","service":"E8BCA012-F851-449B-B759-E4596B11384B",)"
      R"("characteristic":"54AA3DEB-4BB3-4251-BC28-DF790499DF37","error":")";
  for (const auto& [label, text, complaint] : kUnsafeTexts) {
    std::string line = R"({"type":"advertise",)" + ids;
    line.append(R"("name":")").append(text).append(R"(","services":[]})");
    auto advertise = parsePhoneMessage(line);
    ASSERT_FALSE(advertise) << label;
    EXPECT_NE(advertise.error().message.find(
                  std::string("field \"name\" holds control characters (") + complaint + ")"),
              std::string::npos)
        << label << ": " << advertise.error().message;
    auto notify = parsePhoneMessage(notifyHead + text + R"("})");
    ASSERT_FALSE(notify) << label;
    EXPECT_NE(notify.error().message.find(complaint), std::string::npos)
        << label << ": " << notify.error().message;
  }
}

TEST(RadioProtocol, PrintableNamesInAnyScriptPass) {
  const std::string names[] = {"Simulated Phone",
                               "T\xC3\xA9l\xC3\xA9phone",
                               "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D",
                               "\xF0\x9F\x9A\x97 car",
                               "\xC2\xA0nbsp",
                               "\xE2\x80\xA7 before separators"};
  for (const auto& name : names) {
    auto parsed = parsePhoneMessage(
        R"({"type":"advertise","id":"11111111-2222-3333-4444-555555555555","name":")" + name +
        R"(","services":[]})");
    ASSERT_TRUE(parsed) << name << ": " << parsed.error().message;
    EXPECT_EQ(std::get<Advertise>(*parsed).name, name);
  }
}

TEST(RadioProtocol, BadBytesAndNumbersAreNamedPrecisely) {
  const std::string disconnect = R"({"type":"disconnect"})";
  const std::pair<std::string, std::string> table[] = {
      {disconnect + std::string(1, '\0') + "garbage", "NUL byte"},
      {std::string(R"({"type":"disconnect","note":")") + '\0' + R"("})", "NUL byte"},
      {std::string(1, '\0'), "NUL byte"},
      {R"({"type":"disconnect","x":"\xC3\x28"})", "not a JSON object"},
      {R"({"type":"disconnect","x":"\xED\xA0\x80"})", "not a JSON object"},  // a surrogate
      {R"({"type":"disconnect","x":"\xC0\xAF"})", "not a JSON object"},      // overlong
      {R"({"type":"disconnect","x":"\ud800"})", "not a JSON object"},
      {R"({"type":"disconnect","rssi":1e400})",
       "field \"rssi\" holds a number that is out of range"},
      {R"({"type":"disconnect","a":{"deep":[1,-1E+999]}})",
       "field \"deep\" holds a number that is out of range"},
  };
  for (const auto& [line, problem] : table) {
    auto parsed = parsePhoneMessage(line);
    ASSERT_FALSE(parsed) << line;
    EXPECT_NE(parsed.error().message.find(problem), std::string::npos) << parsed.error().message;
  }
  // Large numbers that a double holds are fine, as are integers past 64 bits.
  EXPECT_TRUE(parsePhoneMessage(R"({"type":"disconnect","a":1e300,"b":123456789012345678901234})"));
}

}  // namespace
}  // namespace ble::radio
