// The real program under the faults an unlucky user or a hostile phone
// brings: alerts that pile up, a defaults path that is not a file, left-over
// temporary files, termination signals.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/app_fixture.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

class Hardening : public AppTest {
 protected:
  // Waits until the console has served a command: the program is up.
  void waitUntilServing() {
    app_->send("menu");
    ASSERT_TRUE(app_->waitForStderr("Status menu:", 10s));
  }
};

TEST_F(Hardening, TwoPinPromptsOpenAtOnceAreBothAnsweredThenCommandsRunAgain) {
  start();
  auto p = phone("Test Phone");
  connect(*p, "Test Phone");
  // The second request arrives while the first prompt is still open.
  p->sendAuthRequest(1, 7);
  ASSERT_TRUE(app_->waitForStderr("Enter your Pincode", 10s, 1));
  p->sendAuthRequest(1, 8);
  ASSERT_TRUE(app_->waitForStderr("Enter your Pincode", 10s, 2));
  app_->send("OK: 1111");
  app_->send("OK: 2222");
  ASSERT_TRUE(app_->sawLine("Pincode entered: 1111", 10s));
  ASSERT_TRUE(app_->sawLine("Pincode entered: 2222", 10s));
  ASSERT_TRUE(p->waitForWrittenPacket().has_value());
  ASSERT_TRUE(p->waitForWrittenPacket().has_value());

  app_->send("choose Lady Bug");
  EXPECT_TRUE(app_->sawLine("Option 3 selected", 10s));
  app_->send("quit");
  EXPECT_EQ(app_->wait(10s), 0);
}

TEST_F(Hardening, AFifoAtTheDefaultsPathNeitherBlocksNorLosesThePin) {
  fs::create_directories(fs::path(defaults_).parent_path());
  ASSERT_EQ(::mkfifo(defaults_.c_str(), 0600), 0);
  start();
  auto p = phone("Test Phone");
  connect(*p, "Test Phone");
  p->sendAuthRequest(1, 7);
  answerPrompt("OK: 1234");
  ASSERT_TRUE(app_->sawLine("Pincode entered: 1234", 10s));
  ASSERT_TRUE(p->waitForWrittenPacket().has_value());
  EXPECT_TRUE(app_->waitForStderr("FIFO", 5s));
  // The PIN is kept for the rest of the run: the next request asks nothing.
  p->sendAuthRequest(1, 8);
  auto second = p->waitForWrittenPacket();
  ASSERT_TRUE(second.has_value());
  EXPECT_EQ(second->auth_response().pin_code(), "1234");
  EXPECT_FALSE(app_->waitForStderr("Enter your Pincode", 300ms, 2));
}

TEST_F(Hardening, ATemporaryFileLeftByAKilledSaveIsRemovedAtStart) {
  writeDefaults(R"({"pincode":"1234"})");
  const std::string leftover = defaults_ + ".tmp-a1B2c3";
  std::ofstream(leftover) << R"({"pincode":"9999"})";
  start();
  waitUntilServing();
  EXPECT_FALSE(fs::exists(leftover));
  EXPECT_EQ(storedPin(), "1234");
}

class Termination : public Hardening, public testing::WithParamInterface<int> {};

TEST_P(Termination, EndsLikeQuitRemovingTheSocketAndTellingTheSignal) {
  start();
  waitUntilServing();
  ASSERT_TRUE(fs::exists(radio_));
  ASSERT_EQ(::kill(app_->pid(), GetParam()), 0);
  EXPECT_EQ(app_->wait(10s), 128 + GetParam());
  EXPECT_FALSE(fs::exists(radio_));
  EXPECT_TRUE(app_->waitForStderr("quitting", 1s));
  for (const auto& entry :
       fs::directory_iterator(fs::path(defaults_).parent_path().parent_path())) {
    EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
  }
}

INSTANTIATE_TEST_SUITE_P(Signals, Termination, testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const auto& signal) {
                           switch (signal.param) {
                             case SIGTERM:
                               return std::string("SIGTERM");
                             case SIGINT:
                               return std::string("SIGINT");
                             default:
                               return std::string("SIGHUP");
                           }
                         });

TEST_F(Hardening, AStandardErrorNobodyReadsDoesNotStopTheProgram) {
  // Standard error is a pipe that is held open but never read.
  const std::string fifo = dir_ + "/stderr.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int holder = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  stderrPath_ = fifo;
  start();
  // Far more listing than the pipe holds, and phones that make it complain.
  for (int i = 0; i < 200; ++i) app_->send("menu");
  for (int i = 0; i < 50; ++i) {
    ScriptedPhone garbage(radio_, "00000000-0000-0000-0000-0000000000" + std::to_string(10 + i),
                          std::nullopt, false, false);
    garbage.sendLine("not json " + std::to_string(i));
  }
  app_->send("choose Lady Bug");
  EXPECT_TRUE(app_->sawLine("Option 3 selected", 10s));
  auto p = phone("Test Phone");
  app_->send("open Connect");
  EXPECT_TRUE(app_->sawLine("Discovered Test Phone", 10s));
  app_->send("quit");
  EXPECT_EQ(app_->wait(10s), 0);
  // Nothing of standard error may be read back through the fixture now.
  app_.reset();
  ::close(holder);
}

TEST_F(Hardening, QuitRemovesTheRadioSocket) {
  start();
  waitUntilServing();
  ASSERT_TRUE(fs::exists(radio_));
  app_->send("quit");
  EXPECT_EQ(app_->wait(10s), 0);
  EXPECT_FALSE(fs::exists(radio_));
}

// A parent that ignores SIGCHLD passes that on through exec. The radio works
// all the same, and leaves no socket behind that would stop the next start.
TEST_F(Hardening, TheRadioWorksTwiceInARowWhenStartedWithSigchldIgnored) {
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE("start " + std::to_string(run));
    start({}, {}, testing_support::Inherited{.childSignalIgnored = true});
    auto p = phone("Test Phone");
    app_->send("open Connect");
    ASSERT_TRUE(app_->waitForLine("Discovered Test Phone", 10s)) << app_->stderrText();
    EXPECT_FALSE(app_->waitForStderr("unsupported", 0s)) << app_->stderrText();
    app_->send("quit");
    EXPECT_EQ(app_->wait(10s), 0);
    EXPECT_FALSE(fs::exists(radio_));
  }
}

}  // namespace
}  // namespace e2e
