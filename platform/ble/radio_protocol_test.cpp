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
  ASSERT_TRUE(std::holds_alternative<PhoneMessage>(parsed)) << std::get<std::string>(parsed);
  const auto& back = std::get<Advertise>(std::get<PhoneMessage>(parsed));
  EXPECT_EQ(back.id, advertise.id);
  EXPECT_EQ(back.name, advertise.name);
  EXPECT_EQ(back.services, advertise.services);

  auto notify =
      parsePhoneMessage(encode(PhoneMessage(Notify{kService, kChar, {0xFF, 0}, std::nullopt})));
  ASSERT_TRUE(std::holds_alternative<PhoneMessage>(notify));
  EXPECT_EQ(std::get<Notify>(std::get<PhoneMessage>(notify)).value,
            (std::vector<uint8_t>{0xFF, 0}));

  // A failed update carries its error and may leave the value out.
  auto failed =
      parsePhoneMessage(R"({"type":"notify","service":"E8BCA012-F851-449B-B759-E4596B11384B",)"
                        R"("characteristic":"54AA3DEB-4BB3-4251-BC28-DF790499DF37",)"
                        R"("error":"Insufficient encryption"})");
  ASSERT_TRUE(std::holds_alternative<PhoneMessage>(failed)) << std::get<std::string>(failed);
  EXPECT_EQ(std::get<Notify>(std::get<PhoneMessage>(failed)).error, "Insufficient encryption");
  EXPECT_TRUE(std::get<Notify>(std::get<PhoneMessage>(failed)).value.empty());

  EXPECT_EQ(
      encode(PhoneMessage(Advertise{kChar, std::nullopt, {}})),
      R"({"type":"advertise","id":"54AA3DEB-4BB3-4251-BC28-DF790499DF37","name":null,"services":[]})");
}

TEST(RadioProtocol, LowerCaseUuidsAndExtraFieldsAreAccepted) {
  auto parsed = parseRadioMessage(
      R"({"withResponse":true,"value":"AA==","characteristic":"54aa3deb-4bb3-4251-bc28-df790499df37",)"
      R"("service":"e8bca012-f851-449b-b759-e4596b11384b","type":"write","note":1})");
  ASSERT_TRUE(std::holds_alternative<RadioMessage>(parsed)) << std::get<std::string>(parsed);
  const auto& write = std::get<Write>(std::get<RadioMessage>(parsed));
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
    ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << line;
    EXPECT_NE(std::get<std::string>(parsed).find(problem), std::string::npos)
        << std::get<std::string>(parsed);
  }
}

TEST(RadioProtocol, PhoneLinesThatCouldForgeOrHideTextAreRefusedWithTheirReason) {
  const std::string advertise =
      R"({"type":"advertise","id":"11111111-2222-3333-4444-555555555555","services":[],"name":")";
  const std::string notify = R"({"type":"notify","service":"E8BCA012-F851-449B-B759-E4596B11384B",)"
                             R"("characteristic":"54AA3DEB-4BB3-4251-BC28-DF790499DF37","error":")";
  const std::pair<std::string, std::string> table[] = {
      {advertise + R"(A\u0085B"})", "\"name\" holds control characters"},  // next line (C1)
      {advertise + "A\xC2\x9B" + R"(31mB"})", "\"name\" holds control characters"},  // CSI
      {advertise + R"(A\u2028B"})", "\"name\" holds control characters"},  // line separator
      {advertise + R"(A\u2029B"})", "\"name\" holds control characters"},  // paragraph separator
      {advertise + R"(\u202EenohP"})",
       "\"name\" holds control characters"},                               // right-to-left override
      {advertise + R"(A\u2066B"})", "\"name\" holds control characters"},  // isolate
      {advertise + R"(A\u2069"})", "\"name\" holds control characters"},   // pop isolate
      {advertise + R"(A\u007FB"})", "\"name\" holds control characters"},  // delete
      {notify + R"(bad\u202Aerror"})", "\"error\" holds a control character"},
      {notify + R"(bad\u0090"})", "\"error\" holds a control character"},
      {std::string(R"({"type":"disconnect"})") + '\0' + "garbage", "holds a NUL character"},
      {std::string(R"({"type":"disc)") + '\0' + R"(onnect"})", "holds a NUL character"},
      {R"({"type":"disconnect","n":1e999})", "a number too large to read"},
      {R"({"type":"disconnect","n":-1e400})", "a number too large to read"},
      {R"({"type":"disconnect")", "not valid JSON"},
      {"[1,2]", "not a JSON object"},
  };
  for (const auto& [line, problem] : table) {
    auto parsed = parsePhoneMessage(line);
    ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << line;
    EXPECT_NE(std::get<std::string>(parsed).find(problem), std::string::npos)
        << line << ": " << std::get<std::string>(parsed);
  }
  // Letters of any script, and marks that only join or direct a single letter, stay.
  for (const std::string name : {"T\xC3\xA9l\xC3\xA9phone", "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D",
                                 "\xE6\x89\x8B\xE6\x9C\xBA \xF0\x9F\x93\xB1",
                                 "A\xC2\xA0"
                                 "B"}) {
    auto parsed = parsePhoneMessage(advertise + name + "\"}");
    ASSERT_TRUE(std::holds_alternative<PhoneMessage>(parsed)) << std::get<std::string>(parsed);
    EXPECT_EQ(std::get<Advertise>(std::get<PhoneMessage>(parsed)).name, name);
  }
}

TEST(RadioProtocol, DeeplyNestedTextIsRefusedWithoutHarm) {
  const std::string line = std::string(30000, '[') + std::string(30000, ']');
  EXPECT_TRUE(std::holds_alternative<std::string>(parsePhoneMessage(line)));
  const std::string nested = R"({"type":"disconnect","x":)" + line + "}";
  EXPECT_TRUE(std::holds_alternative<PhoneMessage>(parsePhoneMessage(nested)));
}

}  // namespace
}  // namespace ble::radio
