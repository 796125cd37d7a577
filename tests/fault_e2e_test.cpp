// Faults from outside: a phone that dies mid-stream, a phone that sends
// garbage, a defaults file that cannot be read.

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <random>

#include "platform/base/file.h"
#include "tests/app_fixture.h"

namespace e2e {
namespace {

// The lines the application may write while a phone streams.
bool isLinkLine(const std::string& line) {
  for (const char* prefix :
       {"Discovered ", "Connected to ", "Disconnected from ", "Packet AUTH received ",
        "Sending response ", "Rendering resumed", "Rendering paused", "Service modified from "}) {
    if (line.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

class Faults : public AppTest {};

TEST_F(Faults, KilledPhoneIsReconnectedAndResubscribedByItself) {
  writeDefaults(R"({"pincode":"1234"})");
  start();
  auto sim = simulatedPhone("Sim Phone");
  app_->send("open Connect");
  ASSERT_TRUE(app_->waitForLine("Discovered Sim Phone", 15s));
  app_->send("choose Connect > Sim Phone");
  ASSERT_TRUE(app_->waitForLine("Connected to Sim Phone", 10s));
  ASSERT_TRUE(app_->waitForPrefix("Sending response ", 10s).has_value());
  app_->drain(1s);  // the stream is flowing

  sim->kill();
  ASSERT_TRUE(app_->waitForLine("Disconnected from Sim Phone", 10s));
  auto again = simulatedPhone("Sim Phone");
  ASSERT_TRUE(app_->waitForLine("Connected to Sim Phone", 15s));
  ASSERT_TRUE(app_->waitForPrefix("Sending response ", 10s).has_value());
  app_->drain(1s);
  for (const auto& line : app_->lines()) EXPECT_TRUE(isLinkLine(line)) << line;
  EXPECT_TRUE(app_->running());
}

TEST_F(Faults, GarbageFromOnePhoneDoesNotStopTheAppServingAnother) {
  writeDefaults(R"({"pincode":"1234"})");
  start();
  auto bad = phone("Bad Phone", "BBBBBBBB-BBBB-BBBB-BBBB-BBBBBBBBBBBB");
  auto good = phone("Good Phone", "AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA");
  connect(*bad, "Bad Phone");

  std::mt19937 random(7);
  for (int i = 0; i < 2000; ++i) {
    std::vector<uint8_t> value(random() % 64);
    for (auto& b : value) b = static_cast<uint8_t>(random());
    bad->notify(value);
  }
  bad->sendLine("this is not json");
  EXPECT_TRUE(bad->waitForClose(10s));
  EXPECT_TRUE(app_->waitForStderr("Bad Phone", 5s));

  // Protocol garbage from a phone that never advertised, and an oversized line.
  {
    auto rogue = std::make_unique<ScriptedPhone>(radio_, "CCCCCCCC-CCCC-CCCC-CCCC-CCCCCCCCCCCC",
                                                 std::string("Rogue"));
    rogue->sendLine(std::string(70 * 1024, 'x'));
    EXPECT_TRUE(rogue->waitForClose(10s));
  }

  app_->send("choose Connect > Good Phone");
  ASSERT_TRUE(app_->sawLine("Connected to Good Phone", 10s));
  ASSERT_TRUE(good->waitFor("subscribe", 10s).has_value());
  good->sendAuthRequest(1, 77);
  ASSERT_TRUE(app_->waitForPrefix("Sending response ", 10s).has_value());
  EXPECT_TRUE(good->waitForWrittenPacket().has_value());
  EXPECT_TRUE(app_->running());
}

TEST_F(Faults, UnreadableDefaultsAreKeptAsideAndNeverOverwritten) {
  const std::string garbage = "{ this is not the defaults file";
  writeDefaults(garbage);
  start();
  auto p = phone("Test Phone");
  connect(*p, "Test Phone");
  p->sendAuthRequest(1, 3);
  answerPrompt("OK: 2468");
  ASSERT_TRUE(app_->waitForPrefix("Sending response ", 10s).has_value());
  EXPECT_TRUE(app_->waitForStderr("defaults", 5s)) << "no word about the unreadable file";

  bool kept = false;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::filesystem::path(defaults_).parent_path())) {
    auto text = base::readFile(entry.path().string());
    if (text && *text == garbage) kept = true;
  }
  EXPECT_TRUE(kept) << "the unreadable file's content was lost";
}

}  // namespace
}  // namespace e2e
