// Corners of the phone link, end to end: a stored empty PIN, choosing the
// chosen phone again, a PIN refusal that finds no phone chosen, and values
// that are each one packet by themselves.

#include <gtest/gtest.h>

#include <vector>

#include "proto/packet_codec.h"
#include "tests/app_fixture.h"

namespace e2e {
namespace {

class LinkCases : public AppTest {};

TEST_F(LinkCases, AStoredEmptyPinAnswersTheNextRequestWithoutAPrompt) {
  writeDefaults(R"({"pincode":""})");
  auto p = startConnected();
  p->sendAuthRequest(1, 5);
  auto written = p->waitForWrittenPacket();
  ASSERT_TRUE(written.has_value());
  ASSERT_TRUE(written->has_auth_response());
  EXPECT_EQ(written->auth_response().pin_code(), "");
  EXPECT_EQ(app_->stderrText().find("Enter your Pincode"), std::string::npos);
  EXPECT_EQ(storedPin(), "");
}

TEST_F(LinkCases, ChoosingTheChosenPhoneAgainCancelsAndRequestsItsConnection) {
  auto p = startConnected();
  app_->send("choose Connect > Test Phone");
  ASSERT_TRUE(p->waitFor("disconnected").has_value());
  ASSERT_TRUE(app_->waitForLine("Disconnected from Test Phone", 10s));
  ASSERT_TRUE(app_->waitForLine("Connected to Test Phone", 10s));
  // Still the chosen phone: it is subscribed again and its values are applied.
  auto subscribe = p->waitFor("subscribe");
  ASSERT_TRUE(subscribe.has_value());
  EXPECT_TRUE(subscribe->value("enabled", false));
}

TEST_F(LinkCases, APinRefusalThatFindsNoPhoneChosenStillDropsTheSender) {
  writeDefaults(R"({"pincode":"1234"})");
  auto p = startConnected();
  // Two refusals: the second one's alert opens over the first, and once it is
  // answered the phone is detached, so the first finds no phone chosen.
  p->sendAuthInvalid();
  p->sendAuthInvalid();
  ASSERT_TRUE(app_->waitForStderr("Incorrect Pincode", 10s, 2));
  app_->send("OK");
  app_->send("OK");
  ASSERT_TRUE(app_->sawLine("Invalid pincode {}", 10s));
  ASSERT_TRUE(app_->waitForLine("Disconnected from Test Phone", 10s));
  app_->drain(500ms);
  EXPECT_EQ(app_->count("Invalid pincode {}"), 2U);
  EXPECT_EQ(storedPin(), std::nullopt);
  // The program goes on: the device list still offers the phone, commands run.
  app_->send("choose Lady Bug");
  EXPECT_TRUE(app_->sawLine("Option 3 selected", 10s));
}

TEST_F(LinkCases, AValueSplitAcrossTwoNotificationsIsTwoBadValues) {
  auto p = startConnected();
  tovelin::Packet packet;
  packet.mutable_acceleration_update()->set_x(30);
  const std::vector<uint8_t> bytes = tovelin::serializePacket(packet);
  const auto middle = bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 2);
  const std::vector<uint8_t> head(bytes.begin(), middle);
  const std::vector<uint8_t> tail(middle, bytes.end());
  ASSERT_FALSE(tovelin::parsePacket(head).has_value());
  ASSERT_FALSE(tovelin::parsePacket(tail).has_value());

  p->notify(head);
  p->notify(tail);
  app_->drain(300ms);
  app_->send("windows");
  ASSERT_TRUE(app_->waitForStderr("offset (0.000, 0.000)", 5s)) << app_->stderrText();
  // Both were dropped silently, and the link is still up: a whole value moves the pattern.
  p->notify(bytes);
  app_->drain(300ms);
  app_->send("windows");
  ASSERT_TRUE(app_->waitForStderr("offset (30.000, 0.000)", 5s)) << app_->stderrText();
  EXPECT_EQ(app_->lines(),
            (std::vector<std::string>{"Discovered Test Phone", "Connected to Test Phone"}));
}

}  // namespace
}  // namespace e2e
