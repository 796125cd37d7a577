// A defaults file that holds values of other types besides the PIN, with the
// real program: the PIN is used, the file is not moved aside, and the other
// values come back unchanged after each save.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>

#include "tests/app_fixture.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

// Values another program (or the user) keeps beside the PIN.
const nlohmann::json kOthers = nlohmann::json::parse(R"({
  "launches": 5, "ratio": 0.25, "big": 18446744073709551615, "recent": ["a", 2, {"b": null}],
  "window": {"x": -10, "open": true}, "note": "kept"})");

class DefaultsValues : public AppTest {
 protected:
  [[nodiscard]] nlohmann::json onDisk() const {
    return nlohmann::json::parse(readDefaults(), nullptr, false);
  }
  [[nodiscard]] size_t namesInConfig() const {
    const auto folder = fs::path(defaults_).parent_path();
    return static_cast<size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
  }
};

TEST_F(DefaultsValues, TheStoredPinAnswersAndTheOtherValuesOutliveItsRemoval) {
  auto withPin = kOthers;
  withPin["pincode"] = "1234";
  writeDefaults(withPin.dump());
  auto p = startConnected();
  p->sendAuthRequest(1, 7);
  auto written = p->waitForWrittenPacket();
  ASSERT_TRUE(written.has_value());
  EXPECT_EQ(written->auth_response().pin_code(), "1234");
  EXPECT_EQ(app_->stderrText().find("Enter your Pincode"), std::string::npos) << app_->stderrText();
  EXPECT_EQ(app_->stderrText().find("user defaults:"), std::string::npos) << app_->stderrText();
  EXPECT_EQ(onDisk(), withPin);
  EXPECT_EQ(namesInConfig(), 1U);  // nothing kept aside

  // The phone refuses the PIN: it is removed, and only it.
  p->sendAuthInvalid();
  ASSERT_TRUE(app_->waitForStderr("Incorrect Pincode", 10s)) << app_->stderrText();
  EXPECT_EQ(onDisk(), kOthers);
  EXPECT_EQ(namesInConfig(), 1U);
}

TEST_F(DefaultsValues, APinThatIsNotAStringIsAskedForAndReplaced) {
  auto withNumber = kOthers;
  withNumber["pincode"] = 1234;
  writeDefaults(withNumber.dump());
  auto p = startConnected();
  p->sendAuthRequest(1, 7);
  answerPrompt("OK: 5678");
  auto written = p->waitForWrittenPacket();
  ASSERT_TRUE(written.has_value());
  EXPECT_EQ(written->auth_response().pin_code(), "5678");
  auto expected = kOthers;
  expected["pincode"] = "5678";
  EXPECT_EQ(onDisk(), expected);
  EXPECT_EQ(namesInConfig(), 1U);
  EXPECT_EQ(app_->stderrText().find("user defaults:"), std::string::npos) << app_->stderrText();
}

}  // namespace
}  // namespace e2e
