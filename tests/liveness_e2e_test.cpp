// The real program keeps serving its console and its signals whatever the
// outside does: a standard output nobody reads or that was closed, and a
// phone that asks for a PIN faster than anybody can answer.

#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/app_fixture.h"

namespace e2e {
namespace {

size_t occurrences(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class Liveness : public AppTest {
 protected:
  // Has the connected phone send `count` packets that each print one
  // "Unknown received" line (digests 1 to `count`), from a thread of its
  // own: the phone's writes wait when the program stops reading it.
  void floodOutput(std::unique_ptr<ScriptedPhone> phone, int count) {
    flooding_ = std::move(phone);
    flood_ = std::thread([phone = flooding_.get(), count, this] {
      for (int i = 1; i <= count; ++i) {
        tovelin::Packet packet;
        auto* response = packet.mutable_auth_response();
        response->set_digest(static_cast<uint32_t>(i));
        response->set_device_name(std::string(200, 'n'));
        phone->notifyPacket(packet);
      }
      floodSent_ = true;
    });
  }

  // Waits until the standard output pipe holds all it can: from now on the
  // program's next line finds no room.
  void waitUntilOutputIsFull() {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (app_->unreadOutputBytes() < kPipeFull && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(10ms);
    }
    ASSERT_GE(app_->unreadOutputBytes(), kPipeFull) << app_->unreadOutputBytes();
  }
  static constexpr size_t kPipeFull = 48 * 1024;  // most of the 64 KiB a pipe holds

  void TearDown() override {
    if (app_) app_->kill();  // a phone still sending fails once the program is gone
    if (flood_.joinable()) flood_.join();
    flooding_.reset();
    AppTest::TearDown();
  }

  std::unique_ptr<ScriptedPhone> flooding_;
  std::thread flood_;
  std::atomic<bool> floodSent_ = false;
};

// Far more than the pipe and the program's backlog hold together.
constexpr int kFloodPackets = 20000;

TEST_F(Liveness, AnUnreadStandardOutputNeitherStopsTheConsoleNorLosesALine) {
  floodOutput(startConnected(), kFloodPackets);
  waitUntilOutputIsFull();
  // Nobody reads standard output now; the console still answers.
  for (size_t i = 1; i <= 3; ++i) {
    app_->send("menu");
    ASSERT_TRUE(app_->waitForStderr("Status menu:", 10s, i)) << "the console stopped at " << i;
  }
  EXPECT_FALSE(floodSent_) << "the phone was read although the output was not";

  // Once read, every line is there, in order.
  size_t received = 0;
  while (received < kFloodPackets) {
    auto line = app_->waitForPrefix("Unknown received ", 20s);
    ASSERT_TRUE(line.has_value()) << "only " << received << " lines arrived";
    ++received;
    const std::string digest = "\"digest\":" + std::to_string(received) + ",";
    ASSERT_NE(line->find(digest), std::string::npos) << *line;
  }
  flood_.join();
  app_->send("choose Lady Bug");
  EXPECT_TRUE(app_->waitForLine("Option 3 selected", 10s));
  app_->send("quit");
  EXPECT_EQ(app_->wait(10s), 0);
}

TEST_F(Liveness, ATerminationSignalIsActedOnWhileStandardOutputIsUnread) {
  floodOutput(startConnected(), kFloodPackets);
  waitUntilOutputIsFull();
  ASSERT_EQ(::kill(app_->pid(), SIGTERM), 0);
  // The lines nobody reads are given up on at exit after a few seconds.
  EXPECT_EQ(app_->wait(20s), 128 + SIGTERM);
  EXPECT_FALSE(std::filesystem::exists(radio_));
}

TEST_F(Liveness, AClosedStandardOutputEndsTheProgramAsQuitDoes) {
  start();
  app_->send("menu");
  ASSERT_TRUE(app_->waitForStderr("Status menu:", 10s));
  ASSERT_TRUE(std::filesystem::exists(radio_));
  app_->closeOutput();
  app_->send("choose Lady Bug");  // its line finds no reader
  const auto status = app_->wait(10s);
  ASSERT_TRUE(status.has_value()) << "the program went on without its output";
  EXPECT_FALSE(app_->killedBy().has_value()) << "killed by signal " << *app_->killedBy();
  EXPECT_EQ(*status, 128 + SIGPIPE);
  EXPECT_TRUE(app_->waitForStderr("standard output was closed by its reader; quitting", 1s));
  EXPECT_FALSE(std::filesystem::exists(radio_));
}

TEST_F(Liveness, BackToBackPinRequestsNeverNestAlertsWithoutBound) {
  auto p = startConnected();
  constexpr int kRequests = 20000;
  for (int i = 0; i < kRequests; ++i) p->sendAuthRequest(1, static_cast<uint32_t>(i));
  // The phone that piles up requests is dropped; the program lives.
  ASSERT_TRUE(app_->waitForStderr("closing its connection", 30s));
  ASSERT_TRUE(p->waitForClose(10s));
  const size_t prompts = occurrences(app_->stderrText(), "Enter your Pincode");
  ASSERT_GE(prompts, 1U);
  EXPECT_LT(prompts, 100U) << "alerts opened one inside another without bound";
  // Each open prompt is answered, innermost first; then commands run again.
  for (size_t i = 0; i < prompts; ++i) app_->send("Cancel");
  app_->send("choose Lady Bug");
  EXPECT_TRUE(app_->sawLine("Option 3 selected", 20s));
  EXPECT_EQ(occurrences(app_->stderrText(), "Enter your Pincode"), prompts);
  app_->send("quit");
  EXPECT_EQ(app_->wait(10s), 0);
}

}  // namespace
}  // namespace e2e
