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
#include "platform/base/run_loop.h"

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

// How a command ends, and the line that says so ("" for none). Each script
// waits for a gate file first, so that openURL is seen to return while the
// command still runs.
struct Ending {
  const char* name;
  const char* then;
  const char* says;
};

class WorkspaceEnding : public WorkspaceTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(WorkspaceEnding, IsHeardFromTheRunLoopWithoutWaitingForTheCommand) {
  const fs::path gate = dir_ / "gate";
  const fs::path command = dir_ / "ends";
  std::ofstream(command) << "#!/bin/sh\nwhile [ ! -e '" << gate.string()
                         << "' ]; do sleep 0.01; done\n"
                         << GetParam().then << "\n";
  ::chmod(command.c_str(), 0755);
  base::platformOptions().openUrlCommand = command.string();
  const auto url = base::URL::fromString("https://tovelin.example/#download");
  ASSERT_TRUE(url);

  ::testing::internal::CaptureStderr();
  const bool opened = Workspace::shared().openURL(*url);
  const size_t runningAtReturn = Workspace::shared().runningCommands();
  std::ofstream(gate) << "";
  const bool ended = base::RunLoop::main().runUntil(
      [] { return Workspace::shared().runningCommands() == 0; }, std::chrono::seconds(20));
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(opened);
  EXPECT_EQ(runningAtReturn, 1U);
  ASSERT_TRUE(ended);
  std::string says = GetParam().says;
  if (!says.empty()) says = "open URL: " + command.string() + says + " for " + url->absoluteString() + "\n";
  EXPECT_EQ(err, says);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, WorkspaceEnding,
    ::testing::Values(Ending{"Succeeds", "exit 0", ""},
                      Ending{"Fails", "exit 3", " exited with status 3"},
                      Ending{"IsKilled", "kill -KILL $$", " was killed by signal 9"}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace ui
