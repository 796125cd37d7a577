// The real program and the paths it writes: the defaults file and snapshots
// are only ever replaced when they are regular files (through a symbolic
// link, its target), and an unchanged PIN is not written again.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/base/file.h"
#include "tests/app_fixture.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

class DefaultsPaths : public AppTest {
 protected:
  // Sends an authentication request and returns the PIN the phone was sent.
  std::string pinSent(ScriptedPhone& p, uint32_t challenge) {
    p.sendAuthRequest(1, challenge);
    auto written = p.waitForWrittenPacket();
    EXPECT_TRUE(written.has_value());
    return written ? written->auth_response().pin_code() : std::string();
  }
  // The names in the defaults' folder.
  [[nodiscard]] std::vector<std::string> configNames() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(fs::path(defaults_).parent_path())) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(DefaultsPaths, AFolderAtTheDefaultsPathIsLeftAloneAndThePinKeptForTheRun) {
  fs::create_directories(defaults_);
  std::ofstream(defaults_ + "/notes.txt") << "the user's";
  auto p = startConnected();
  p->sendAuthRequest(1, 7);
  answerPrompt("OK: 1234");
  auto first = p->waitForWrittenPacket();
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->auth_response().pin_code(), "1234");
  EXPECT_TRUE(app_->waitForStderr(defaults_ + ": is a folder, not a regular file", 5s))
      << app_->stderrText();
  // Asked once: the next request is answered from memory.
  EXPECT_EQ(pinSent(*p, 8), "1234");
  EXPECT_FALSE(app_->waitForStderr("Enter your Pincode", 300ms, 2));

  EXPECT_TRUE(fs::is_directory(fs::symlink_status(defaults_)));
  EXPECT_EQ(base::readFile(defaults_ + "/notes.txt").value(), "the user's");
  EXPECT_EQ(configNames(), std::vector<std::string>{"defaults.json"});
}

TEST_F(DefaultsPaths, ALinkToARegularFileStaysALinkAndItsTargetHoldsTheNewPin) {
  const std::string target = dir_ + "/dotfiles/tovelin.json";
  fs::create_directories(fs::path(target).parent_path());
  std::ofstream(target) << R"({"other":"x"})";
  fs::create_directories(fs::path(defaults_).parent_path());
  fs::create_symlink("../dotfiles/tovelin.json", defaults_);

  auto p = startConnected();
  p->sendAuthRequest(1, 7);
  answerPrompt("OK: 1234");
  ASSERT_TRUE(p->waitForWrittenPacket().has_value());

  EXPECT_TRUE(fs::is_symlink(defaults_));
  EXPECT_EQ(fs::read_symlink(defaults_), "../dotfiles/tovelin.json");
  EXPECT_EQ(nlohmann::json::parse(base::readFile(target).value()),
            (nlohmann::json{{"other", "x"}, {"pincode", "1234"}}));
  EXPECT_EQ(configNames(), std::vector<std::string>{"defaults.json"});
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(target).parent_path()),
                          fs::directory_iterator()),
            1);
}

TEST_F(DefaultsPaths, AnUnchangedPinIsNotWrittenAgain) {
  auto p = startConnected();
  p->sendAuthRequest(1, 7);
  answerPrompt("OK: 1234");
  ASSERT_TRUE(p->waitForWrittenPacket().has_value());
  ASSERT_EQ(storedPin(), "1234");  // a new value is written
  struct stat before {};
  ASSERT_EQ(::stat(defaults_.c_str(), &before), 0);

  // The value is stored before the response is sent: once the phone has the
  // response, any write has happened. Each write is a new file (inode).
  EXPECT_EQ(pinSent(*p, 8), "1234");
  EXPECT_EQ(pinSent(*p, 9), "1234");
  struct stat after {};
  ASSERT_EQ(::stat(defaults_.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

TEST_F(DefaultsPaths, ASnapshotOverAFifoIsRefusedAndTheFifoKept) {
  const std::string fifo = dir_ + "/shot.png";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  start();
  app_->send("snapshot " + fifo);
  EXPECT_TRUE(app_->waitForStderr(
      "snapshot: " + fifo + ": is a FIFO, not a regular file, so it is left as it is", 10s))
      << app_->stderrText();
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(fifo)));
  // The console goes on.
  app_->send("snapshot " + dir_ + "/shot2.png");
  EXPECT_TRUE(app_->waitForStderr("snapshot written to " + dir_ + "/shot2.png", 10s));
}

}  // namespace
}  // namespace e2e
