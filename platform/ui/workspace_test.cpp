#include "platform/ui/workspace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/base/file.h"
#include "platform/base/options.h"

namespace ui {
namespace {

namespace fs = std::filesystem;

class WorkspaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (fs::temp_directory_path() / "workspace-XXXXXX").string();
    ASSERT_NE(::mkdtemp(templ.data()), nullptr);
    dir_ = templ;
    // A stand-in browser that writes its arguments, one a line.
    script_ = dir_ / "browser";
    std::ofstream(script_) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > \""
                           << (dir_ / "args.tmp").string() << "\"\nmv \""
                           << (dir_ / "args.tmp").string() << "\" \"" << (dir_ / "args").string()
                           << "\"\n";
    ::chmod(script_.c_str(), 0755);
  }
  void TearDown() override {
    base::platformOptions() = saved_;
    Workspace::shared().clearLastOpenedURL();
    fs::remove_all(dir_);
  }
  // What the browser was given; it runs detached, so wait for it to finish.
  std::optional<std::string> argsSeen() const {
    for (int i = 0; i < 500 && !fs::exists(dir_ / "args"); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    auto text = base::readFileIfExists((dir_ / "args").string());
    if (!text) return std::nullopt;
    return *text;
  }

  base::PlatformOptions saved_ = base::platformOptions();
  fs::path dir_;
  fs::path script_;
};

TEST_F(WorkspaceTest, RunsTheCommandWithTheAddressAsItsLastArgument) {
  base::platformOptions().openUrlCommand = script_.string() + "  --new-tab ";
  const auto url = base::URL::fromString("https://tovelin.example/#download");
  ASSERT_TRUE(url);
  EXPECT_TRUE(Workspace::shared().openURL(*url));
  EXPECT_EQ(argsSeen(), "--new-tab\nhttps://tovelin.example/#download\n");
  EXPECT_EQ(Workspace::shared().lastOpenedURL(), url);
}

TEST_F(WorkspaceTest, NoShellSeesTheAddress) {
  base::platformOptions().openUrlCommand = script_.string();
  const std::string marker = (dir_ / "pwned").string();
  const std::string text = "https://x.example/?q=$(touch${IFS}" + marker + ")&a=`id`;b|c#download";
  const auto url = base::URL::fromString(text);
  ASSERT_TRUE(url);
  EXPECT_TRUE(Workspace::shared().openURL(*url));
  EXPECT_EQ(argsSeen(), text + "\n");
  EXPECT_FALSE(fs::exists(marker));
}

TEST_F(WorkspaceTest, ACommandThatCannotRunIsReportedAsAFailure) {
  base::platformOptions().openUrlCommand = (dir_ / "no-such-browser").string();
  const auto url = base::URL::fromString("https://tovelin.example/#download");
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(Workspace::shared().openURL(*url));
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("cannot run"), std::string::npos) << err;
  EXPECT_NE(err.find("no-such-browser"), std::string::npos) << err;
  EXPECT_EQ(Workspace::shared().lastOpenedURL(), url);
}

TEST_F(WorkspaceTest, WithoutACommandTheAddressIsPrinted) {
  base::platformOptions().openUrlCommand.reset();
  const char* oldPath = std::getenv("PATH");
  const std::string saved = oldPath != nullptr ? oldPath : "";
  ::setenv("PATH", dir_.c_str(), 1);  // no xdg-open there
  const auto url = base::URL::fromString("https://tovelin.example/#download");
  EXPECT_TRUE(Workspace::commandFor(*url).empty());
  ::testing::internal::CaptureStderr();
  const bool opened = Workspace::shared().openURL(*url);
  const std::string err = ::testing::internal::GetCapturedStderr();
  ::setenv("PATH", saved.c_str(), 1);
  EXPECT_FALSE(opened);
  EXPECT_EQ(err, "open URL: https://tovelin.example/#download\n");

  // With xdg-open on PATH, that is what runs.
  fs::copy_file(script_, dir_ / "xdg-open");
  ::setenv("PATH", dir_.c_str(), 1);
  const auto command = Workspace::commandFor(*url);
  ::setenv("PATH", saved.c_str(), 1);
  EXPECT_EQ(command,
            (std::vector<std::string>{(dir_ / "xdg-open").string(), url->absoluteString()}));
}

}  // namespace
}  // namespace ui
