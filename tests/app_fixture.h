// The end-to-end fixture: the real application in its own process on a
// private radio socket, defaults file and bundle, driven through its console,
// with scripted phones on the radio.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/app_process.h"
#include "tests/support/scripted_phone.h"

namespace e2e {

using namespace std::chrono_literals;
using testing_support::AppProcess;
using testing_support::ScriptedPhone;
using testing_support::StandardOutput;

// A phone identifier numbered `n`, for tests that need many phones.
std::string numberedId(size_t n);

class AppTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the application; `extra` are further platform options.
  void start(const std::vector<std::string>& extra = {}, const StandardOutput& output = {},
             const testing_support::Inherited& inherited = {});
  // Writes the defaults file before the start.
  void writeDefaults(const std::string& json);
  [[nodiscard]] std::string readDefaults() const;
  // The PIN stored under "pincode" in the defaults file, if any.
  [[nodiscard]] std::optional<std::string> storedPin() const;

  std::unique_ptr<ScriptedPhone> phone(
      const std::string& name, const std::string& id = "1B4E28BA-2FA1-11D2-883F-0016D3CCA427",
      bool withCharacteristic = true);
  // Opens "Connect", waits for the phone's discovery, chooses it and waits
  // until the phone is subscribed.
  void connect(ScriptedPhone& phone, const std::string& name);
  // Starts the application and connects a subscribed phone "Test Phone".
  std::unique_ptr<ScriptedPhone> startConnected();
  // Answers the PIN prompt once it shows.
  void answerPrompt(const std::string& answer, size_t occurrence = 1);
  // Starts the phone simulator on the radio as `name`, with further options;
  // its standard error (what it did) goes to a file of its own.
  std::unique_ptr<AppProcess> simulatedPhone(const std::string& name,
                                             const std::vector<std::string>& extra = {});

  std::string dir_;
  std::string radio_;
  std::string defaults_;
  std::string stderrPath_;  // where the application's standard error goes
  std::unique_ptr<AppProcess> app_;

 private:
  int simulatedPhones_ = 0;
};

}  // namespace e2e
