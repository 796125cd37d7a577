// The real program keeps serving its console and its signals whatever the
// outside does: a standard output nobody reads, that was closed, that fails
// or that is missing, and a phone that asks for a PIN faster than anybody
// can answer. Nothing a phone sent is lost on the way.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>

#include "platform/ble/line_channel.h"
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

  // Reads standard output until the lines of packets 1 to `count` have
  // arrived, in order.
  void expectEveryFloodLine(int count) {
    for (int received = 1; received <= count; ++received) {
      auto line = app_->waitForPrefix("Unknown received ", 20s);
      ASSERT_TRUE(line.has_value()) << "only " << received - 1 << " lines arrived";
      const std::string digest = "\"digest\":" + std::to_string(received) + ",";
      ASSERT_NE(line->find(digest), std::string::npos) << *line;
    }
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
  expectEveryFloodLine(kFloodPackets);
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

// The lines a reader that does not read has not taken within the exit wait
// are lost: the program says how many, and does not report success. A status
// that an ending already set (a termination signal's) stays.
TEST_F(Liveness, LinesAnUnreadStandardOutputDidNotTakeAtExitAreCountedAndNoSuccess) {
  const struct {
    const char* how;
    int status;
  } endings[] = {{"quit", 1}, {"SIGTERM", 128 + SIGTERM}};
  for (const auto& ending : endings) {
    SCOPED_TRACE(ending.how);
    floodOutput(startConnected(), kFloodPackets);
    waitUntilOutputIsFull();
    if (ending.status == 1) {
      app_->send("quit");
    } else {
      ASSERT_EQ(::kill(app_->pid(), SIGTERM), 0);
    }
    EXPECT_EQ(app_->wait(30s), ending.status);
    const std::string said = app_->stderrText();
    static const std::regex kLost(
        "standard output did not take its last ([0-9]+) lines within 5 seconds; they are lost\n");
    std::smatch lost;
    ASSERT_TRUE(std::regex_search(said, lost, kLost)) << said;
    EXPECT_GE(std::stoul(lost[1]), 1U);
    EXPECT_EQ(occurrences(said, "standard output did not take"), 1U) << said;
    EXPECT_FALSE(std::filesystem::exists(radio_));
    flood_.join();  // the phone's writes fail once the program is gone
  }
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

// A terminal that is not the controlling one sends no SIGHUP when its other
// side closes: writes to it fail with EIO instead. Its reader has left all
// the same.
TEST_F(Liveness, AHungUpTerminalEndsTheProgramAsAClosedPipeDoes) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  start({}, {StandardOutput::To::file, ::ptsname(master)});
  app_->send("menu");
  ASSERT_TRUE(app_->waitForStderr("Status menu:", 10s));  // the terminal is the program's
  ::close(master);
  app_->send("choose Lady Bug");  // its line finds the terminal hung up
  const auto status = app_->wait(10s);
  ASSERT_TRUE(status.has_value()) << "the program went on without its output";
  EXPECT_EQ(*status, 128 + SIGPIPE);
  EXPECT_TRUE(app_->waitForStderr("standard output was closed by its reader; quitting", 1s))
      << app_->stderrText();
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
  EXPECT_EQ(prompts, ble::LineChannel::kMaxNestedLines)
      << "alerts opened one inside another past the bound";
  // Each open prompt is answered, innermost first; then commands run again.
  for (size_t i = 0; i < prompts; ++i) app_->send("Cancel");
  app_->send("choose Lady Bug");
  EXPECT_TRUE(app_->sawLine("Option 3 selected", 20s));
  EXPECT_EQ(occurrences(app_->stderrText(), "Enter your Pincode"), prompts);
  app_->send("quit");
  EXPECT_EQ(app_->wait(10s), 0);
}

// While the output is not read, a held phone waits unread whatever else
// happens on the radio: connections that find every place taken make the
// radio look for phones that left, and that must not read it past its bound.
TEST_F(Liveness, AHeldPhoneIsNotReadToFindPlacesAndLosesNothing) {
  constexpr int kPackets = 4000;
  floodOutput(startConnected(), kPackets);
  waitUntilOutputIsFull();
  std::this_thread::sleep_for(300ms);  // the phone fills its socket meanwhile
  std::vector<std::unique_ptr<ScriptedPhone>> silent;
  for (size_t i = 1; i < 64; ++i) {
    silent.push_back(std::make_unique<ScriptedPhone>(radio_, numberedId(i), "Silent", true,
                                                     /*advertiseNow=*/false));
  }
  for (size_t i = 0; i < 30; ++i) {
    ScriptedPhone refused(radio_, numberedId(100 + i), "Refused", true, /*advertiseNow=*/false);
    EXPECT_TRUE(refused.waitForClose(10s)) << "connection " << i << " found a place";
    std::this_thread::sleep_for(50ms);  // the phone fills its socket again
  }
  EXPECT_FALSE(floodSent_) << "the held phone was read";

  expectEveryFloodLine(kPackets);
  flood_.join();
  EXPECT_FALSE(app_->waitForStderr("Test Phone\": ", 0s)) << app_->stderrText();
  // Still connected: its next message has its line too.
  tovelin::Packet packet;
  packet.mutable_auth_response()->set_digest(kPackets + 1);
  flooding_->notifyPacket(packet);
  EXPECT_TRUE(app_->waitForPrefix(
      "Unknown received {\"authResponse\":{\"digest\":" + std::to_string(kPackets + 1), 10s));
}

// Messages that wait behind a phone's open prompts are what it sent before
// it left: they are handled once the prompts close, and its leaving after.
TEST_F(Liveness, MessagesWaitingBehindOpenPromptsOutliveThePhoneLeaving) {
  auto p = startConnected();
  for (uint32_t i = 0; i < ble::LineChannel::kMaxNestedLines; ++i) p->sendAuthRequest(1, i);
  ASSERT_TRUE(app_->waitForStderr("Enter your Pincode", 10s, ble::LineChannel::kMaxNestedLines));
  tovelin::Packet packet;
  packet.mutable_auth_response()->set_digest(4242);
  p->notifyPacket(packet);
  p->goAway();
  std::this_thread::sleep_for(500ms);  // the program reads the message and the end
  for (size_t i = 0; i < ble::LineChannel::kMaxNestedLines; ++i) app_->send("Cancel");
  ASSERT_TRUE(app_->waitForLine("Disconnected from Test Phone", 10s));
  const auto& lines = app_->lines();
  const auto message = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
    return line.rfind("Unknown received {\"authResponse\":{\"digest\":4242", 0) == 0;
  });
  ASSERT_NE(message, lines.end()) << "the message sent before leaving was lost";
  EXPECT_LT(message - lines.begin(),
            std::find(lines.begin(), lines.end(), "Disconnected from Test Phone") - lines.begin())
      << "the phone's leaving was reported before its message";
  app_->send("quit");
  EXPECT_EQ(app_->wait(10s), 0);
}

// A phone held back behind its open prompt fills its socket and leaves; the
// prompt's answer is then written to a phone that is gone. Only that answer
// is lost: every message it sent has its line, then its leaving.
TEST_F(Liveness, AnAnswerWrittenToAPhoneThatLeftLosesNoneOfItsMessages) {
  auto p = startConnected();
  p->sendAuthRequest(1, 7);
  ASSERT_TRUE(app_->waitForStderr("Enter your Pincode", 10s));
  // Far more than standard output and the program's backlog take, and less
  // than the phone's socket holds besides.
  constexpr int kPackets = 600;
  floodOutput(std::move(p), kPackets);
  waitUntilOutputIsFull();
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (!floodSent_ && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(10ms);
  }
  ASSERT_TRUE(floodSent_) << "the phone could not send all its messages";
  flood_.join();
  flooding_->goAway();
  app_->send("OK: 1234");
  // The PIN is stored just before the answer is written to the phone.
  while (storedPin() != "1234" && std::chrono::steady_clock::now() < deadline + 10s) {
    std::this_thread::sleep_for(10ms);
  }
  ASSERT_EQ(storedPin(), "1234");

  expectEveryFloodLine(kPackets);
  EXPECT_TRUE(app_->waitForLine("Disconnected from Test Phone", 10s));
  EXPECT_FALSE(app_->waitForStderr("Test Phone\": ", 0s)) << app_->stderrText();
  app_->send("quit");
  EXPECT_EQ(app_->wait(10s), 0);
}

TEST_F(Liveness, AStandardOutputThatFailsEndsTheProgramWithItsErrorAndNotWithSuccess) {
  start({}, {StandardOutput::To::file, "/dev/full"});
  app_->send("choose Lady Bug");  // its line finds no room
  EXPECT_EQ(app_->wait(10s), 1);
  EXPECT_TRUE(app_->waitForStderr("standard output: No space left on device; quitting", 1s))
      << app_->stderrText();
  EXPECT_FALSE(app_->waitForStderr("closed by its reader", 0s));
  EXPECT_FALSE(std::filesystem::exists(radio_));
}

// Started with descriptor 1 closed, the program's own descriptors must not
// take its place: the phones are read and every exit is prompt.
TEST_F(Liveness, WithoutAStandardOutputThePhonesAreReadAndQuitIsPrompt) {
  start({}, {StandardOutput::To::closed, {}});
  auto p = phone("Test Phone");
  app_->send("open Connect");
  bool connected = false;
  for (int i = 0; i < 50 && !connected; ++i) {
    app_->send("choose Connect > Test Phone");  // once discovered, it is there
    connected = p->waitFor("connected", 200ms).has_value();
  }
  ASSERT_TRUE(connected);
  ASSERT_TRUE(p->waitFor("subscribe", 10s).has_value());
  constexpr int kPackets = 3000;
  floodOutput(std::move(p), kPackets);
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (!floodSent_ && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(10ms);
  }
  ASSERT_TRUE(floodSent_) << "the phone was held back";
  flood_.join();
  // Handled in order: a prompt after the last packet means all were read.
  flooding_->sendAuthRequest(1, 7);
  ASSERT_TRUE(app_->waitForStderr("Enter your Pincode", 20s)) << "its last messages were not read";
  app_->send("Cancel");
  app_->send("quit");
  EXPECT_EQ(app_->wait(3s), 0) << "the exit waited for a standard output that is not there";
}

}  // namespace
}  // namespace e2e
