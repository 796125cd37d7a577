// The handshake road, end to end: a scripted phone asks, the user answers the
// PIN prompt through the console, and the phone receives the response.

#include <gtest/gtest.h>

#include "proto/packet_codec.h"
#include "tests/app_fixture.h"
#include "tests/support/reference_crc.h"

namespace e2e {
namespace {

using testing_support::referenceCksum;
using testing_support::referenceDigestInput;

std::string responseLine(uint32_t challenge, const std::string& pin, const std::string& device) {
  std::string inner =
      "\"digest\":" + std::to_string(referenceCksum(referenceDigestInput(challenge)));
  if (!pin.empty()) inner += ",\"pinCode\":\"" + pin + "\"";
  inner += ",\"deviceName\":\"" + device + "\"";
  return "Sending response {\"authResponse\":{" + inner + "}}";
}

// The refusals' alerts as the console prints them: style, texts, one button.
const std::string kVersionAlert =
    "Alert (warning): Incorrect version\n"
    "  The phone companion application has an incompatible version. Please update the desktop "
    "application\n"
    "  buttons: [OK]\n";
const std::string kPincodeAlert =
    "Alert (warning): Incorrect Pincode\n"
    "  The pincode introduced is incorrect\n"
    "  buttons: [OK]\n";

// The steps every handshake test shares.
class HandshakeSteps : public AppTest {
 protected:
  // After a refusal's alert: the phone is unsubscribed and cancelled, and the
  // disconnection is answered by a new connection request.
  void expectLinkDropped(ScriptedPhone& p) {
    auto unsubscribe = p.waitFor("subscribe");
    ASSERT_TRUE(unsubscribe.has_value());
    EXPECT_FALSE(unsubscribe->value("enabled", true));
    ASSERT_TRUE(p.waitFor("disconnected").has_value());
    ASSERT_TRUE(app_->waitForLine("Disconnected from Test Phone", 10s));
    ASSERT_TRUE(app_->waitForLine("Connected to Test Phone", 10s));
  }

  // Whether the device list, after its "Scan more devices", still lists the phone.
  bool phoneStillListed() {
    app_->send("menu");
    EXPECT_TRUE(app_->waitForStderr("Scan more devices", 5s));
    app_->drain(300ms);
    const std::string shown = app_->stderrText();
    return shown.find("Test Phone", shown.rfind("Scan more devices")) != std::string::npos;
  }
};

class Handshake : public HandshakeSteps {};

TEST_F(Handshake, TypedPinIsAnsweredWithTheDigestAndStored) {
  auto p = startConnected();

  p->sendAuthRequest(1, 7);
  answerPrompt("OK: 1234");
  ASSERT_TRUE(app_->waitForLine("Pincode entered: 1234", 10s));
  ASSERT_TRUE(app_->waitForLine("Packet AUTH received {\"version\":1,\"challenge\":7}", 5s));
  ASSERT_TRUE(app_->waitForLine(responseLine(7, "1234", "Test Desk"), 5s));

  auto written = p->waitForWrittenPacket();
  ASSERT_TRUE(written.has_value());
  ASSERT_TRUE(written->has_auth_response());
  EXPECT_EQ(written->auth_response().digest(), referenceCksum(referenceDigestInput(7)));
  EXPECT_EQ(written->auth_response().pin_code(), "1234");
  EXPECT_EQ(written->auth_response().device_name(), "Test Desk");
  EXPECT_TRUE(p->received().back().value("withResponse", false));
  EXPECT_EQ(storedPin(), "1234");
}

TEST_F(Handshake, StoredPinAnswersEveryRequestWithoutAPrompt) {
  writeDefaults(R"({"pincode":"4321"})");
  auto p = startConnected();

  p->sendAuthRequest(3, 0xFFFFFFFFU);
  ASSERT_TRUE(app_->waitForLine(responseLine(0xFFFFFFFFU, "4321", "Test Desk"), 10s));
  p->sendAuthRequest(3, 1);
  ASSERT_TRUE(app_->waitForLine(responseLine(1, "4321", "Test Desk"), 10s));
  EXPECT_EQ(p->waitForWrittenPacket()->auth_response().digest(),
            referenceCksum(referenceDigestInput(0xFFFFFFFFU)));
  EXPECT_EQ(p->waitForWrittenPacket()->auth_response().digest(),
            referenceCksum(referenceDigestInput(1)));
  EXPECT_EQ(app_->stderrText().find("Enter your Pincode"), std::string::npos);
}

TEST_F(Handshake, EmptyPinIsSentAndStoredAsEmpty) {
  auto p = startConnected();
  p->sendAuthRequest(1, 5);
  answerPrompt("OK:");
  ASSERT_TRUE(app_->waitForLine("Pincode entered: ", 10s));
  ASSERT_TRUE(app_->waitForLine(responseLine(5, "", "Test Desk"), 5s));
  EXPECT_EQ(p->waitForWrittenPacket()->auth_response().pin_code(), "");
  EXPECT_EQ(storedPin(), "");
}

TEST_F(Handshake, CancelledPromptLeavesTheRequestUnanswered) {
  auto p = startConnected();
  p->sendAuthRequest(1, 5);
  answerPrompt("Cancel");
  ASSERT_TRUE(app_->waitForLine("Cancelled", 10s));
  app_->drain(500ms);
  for (const auto& line : app_->lines()) EXPECT_EQ(line.rfind("Packet AUTH", 0), std::string::npos);
  EXPECT_FALSE(p->waitFor("write", 300ms).has_value());
  EXPECT_EQ(storedPin(), std::nullopt);
  // The link is left as it was: a new request asks again.
  p->sendAuthRequest(1, 6);
  answerPrompt("OK: 9", 2);
  ASSERT_TRUE(app_->waitForLine(responseLine(6, "9", "Test Desk"), 10s));
}

struct SpacedAnswer {
  const char* name;
  const char* line;  // as typed at the prompt
  const char* pin;   // the phone's PIN
};

class HandshakeSpacedAnswer : public AppTest, public testing::WithParamInterface<SpacedAnswer> {};

// The simulator checks the PIN: a space too many is a wrong PIN, refused.
TEST_P(HandshakeSpacedAnswer, SpacesAroundTheLineAreNoPartOfThePin) {
  const SpacedAnswer& c = GetParam();
  start();
  auto sim = simulatedPhone("Sim Phone", {"--pin", c.pin});
  app_->send("open Connect");
  ASSERT_TRUE(app_->waitForLine("Discovered Sim Phone", 15s));
  app_->send("choose Connect > Sim Phone");
  answerPrompt(c.line);
  ASSERT_TRUE(app_->waitForLine(std::string("Pincode entered: ") + c.pin, 10s));
  EXPECT_TRUE(sim->waitForStderr("authenticated \"Test Desk\"", 10s)) << sim->stderrText();
  EXPECT_EQ(storedPin(), c.pin);
  EXPECT_EQ(app_->stderrText().find("Incorrect Pincode"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Answers, HandshakeSpacedAnswer,
                         testing::Values(SpacedAnswer{"spaces", " OK: 1234 ", "1234"},
                                         SpacedAnswer{"tabsAndInnerSpace", "\tOK: 12 34 \t",
                                                      "12 34"}),
                         [](const auto& param) { return std::string(param.param.name); });

struct VersionCase {
  int32_t version;
  bool answered;
};

class HandshakeVersion : public HandshakeSteps, public testing::WithParamInterface<VersionCase> {};

TEST_P(HandshakeVersion, VersionsFromTwoHundredAreRefused) {
  writeDefaults(R"({"pincode":"1111"})");
  auto p = startConnected();
  p->sendAuthRequest(GetParam().version, 42);
  ASSERT_TRUE(app_->waitForLine("Packet AUTH received {\"version\":" +
                                    std::to_string(GetParam().version) + ",\"challenge\":42}",
                                10s));
  if (GetParam().answered) {
    ASSERT_TRUE(app_->waitForLine(responseLine(42, "1111", "Test Desk"), 5s));
    return;
  }
  ASSERT_TRUE(app_->waitForStderr(kVersionAlert, 10s)) << app_->stderrText();
  app_->send("OK");
  expectLinkDropped(*p);
  // The detached phone goes no further than service discovery.
  EXPECT_FALSE(p->waitFor("subscribe", 1s).has_value());
  EXPECT_FALSE(p->waitFor("write", 100ms).has_value());
  EXPECT_EQ(storedPin(), "1111");
  // The refused phone is no longer listed.
  EXPECT_FALSE(phoneStillListed());
}

INSTANTIATE_TEST_SUITE_P(Versions, HandshakeVersion,
                         testing::Values(VersionCase{199, true}, VersionCase{-1, true},
                                         VersionCase{200, false}),
                         [](const testing::TestParamInfo<VersionCase>& param) {
                           const int32_t v = param.param.version;
                           return v < 0 ? "minus" + std::to_string(-v) : std::to_string(v);
                         });

TEST_F(Handshake, PromptComesBeforeTheVersionCheckAndATypedPinIsNotKeptOnRefusal) {
  auto p = startConnected();
  p->sendAuthRequest(200, 1);
  answerPrompt("OK: 5555");
  ASSERT_TRUE(app_->waitForLine("Pincode entered: 5555", 10s));
  ASSERT_TRUE(app_->waitForLine("Packet AUTH received {\"version\":200,\"challenge\":1}", 5s));
  ASSERT_TRUE(app_->waitForStderr(kVersionAlert, 10s)) << app_->stderrText();
  app_->send("OK");
  ASSERT_TRUE(app_->waitForLine("Disconnected from Test Phone", 10s));
  EXPECT_EQ(storedPin(), std::nullopt);
}

TEST_F(Handshake, RefusedPinIsForgottenAndThePhoneStaysListed) {
  writeDefaults(R"({"pincode":"1234"})");
  auto p = startConnected();
  p->sendAuthInvalid();
  ASSERT_TRUE(app_->waitForLine("Invalid pincode {}", 10s));
  ASSERT_TRUE(app_->waitForStderr(kPincodeAlert, 10s)) << app_->stderrText();
  app_->send("OK");
  expectLinkDropped(*p);
  EXPECT_EQ(storedPin(), std::nullopt);
  EXPECT_TRUE(phoneStillListed());
}

}  // namespace
}  // namespace e2e
