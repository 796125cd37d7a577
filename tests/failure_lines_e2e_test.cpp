// Failures a user would otherwise not hear of, with the real program: a
// download-page command that fails or is killed, and the Bluetooth switch
// while the radio could not be set up.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/app_fixture.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPage = "https://tovelin.example/#download";

class FailureLines : public AppTest {};

TEST_F(FailureLines, ACommandThatFailsToOpenThePageSaysSo) {
  start({"--open-url-command", "false"});
  app_->send("choose Download Mobile Application");
  EXPECT_TRUE(
      app_->waitForStderr(std::string("open URL: false exited with status 1 for ") + kPage, 10s))
      << app_->stderrText();
}

TEST_F(FailureLines, ACommandKilledWhileTheProgramRunsOnIsReportedWhenItEnds) {
  // A browser that waits for a gate, then is killed.
  const std::string gate = dir_ + "/gate";
  const std::string browser = dir_ + "/browser";
  std::ofstream(browser) << "#!/bin/sh\nwhile [ ! -e '" << gate
                         << "' ]; do sleep 0.01; done\nkill -KILL $$\n";
  ::chmod(browser.c_str(), 0755);
  start({"--open-url-command", browser});
  app_->send("choose Download Mobile Application");
  // The console is served while the command runs.
  app_->send("windows");
  ASSERT_TRUE(app_->waitForStderr("\"Welcome to Tovelin\" frame", 10s)) << app_->stderrText();
  EXPECT_EQ(app_->stderrText().find("open URL:"), std::string::npos);
  std::ofstream(gate) << "";
  EXPECT_TRUE(app_->waitForStderr(
      "open URL: " + browser + " was killed by signal 9 for " + std::string(kPage), 10s))
      << app_->stderrText();
  app_->send("quit");
  EXPECT_EQ(app_->wait(10s), 0);
}

TEST_F(FailureLines, TheBluetoothSwitchWithoutARadioSaysItIsUnsupportedAndWhy) {
  const auto folder = fs::path(radio_).parent_path();
  fs::create_directory(folder);
  ::chmod(folder.c_str(), 0755);
  start();
  const std::string reason =
      "the radio folder " + folder.string() + " is open to other users (it must be mode 0700)";
  ASSERT_TRUE(app_->waitForStderr("radio: " + reason + "; Bluetooth is unsupported", 10s))
      << app_->stderrText();
  app_->send("bluetooth on");
  app_->send("bluetooth off");
  EXPECT_TRUE(app_->waitForStderr("Bluetooth is unsupported here: " + reason, 10s, 2))
      << app_->stderrText();
}

}  // namespace
}  // namespace e2e
