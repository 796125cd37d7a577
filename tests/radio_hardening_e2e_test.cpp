// The radio under hostile or careless phones, with the real program: names
// that would forge lines, and many phones that come and go at once.

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/app_fixture.h"

namespace e2e {
namespace {

class RadioHardening : public AppTest {};

std::string numberedId(size_t n) {
  char id[40];
  std::snprintf(id, sizeof id, "00000000-0000-0000-0000-%012zu", n);
  return id;
}

TEST_F(RadioHardening, NamesThatWouldForgeALineNeverReachTheOutput) {
  start();
  app_->send("open Connect");
  const std::string forged[] = {
      "Forged\xE2\x80\xA8"
      "Connected to Good Phone",  // line separator
      "Forged\xC2\x85"
      "Connected to Good Phone",  // next line (C1)
      "Forged \xE2\x80\xAE"
      "enohP dooG",                               // right-to-left override
      "Forged \xE2\x81\xA6isolated\xE2\x81\xA9",  // isolates
  };
  size_t n = 0;
  for (const auto& name : forged) {
    ScriptedPhone bad(radio_, numberedId(++n), name);
    ASSERT_TRUE(bad.connected());
    EXPECT_TRUE(bad.waitForClose(10s)) << "the radio kept phone " << n;
  }
  auto good = phone("Good Phone");
  ASSERT_TRUE(app_->waitForLine("Discovered Good Phone", 10s));
  app_->drain(300ms);
  for (const auto& line : app_->lines()) {
    EXPECT_EQ(line.find("Forged"), std::string::npos) << line;
  }
  EXPECT_EQ(app_->count("Discovered Good Phone"), 1u);
  EXPECT_TRUE(app_->waitForStderr("holds control characters", 5s, std::size(forged)));
}

TEST_F(RadioHardening, ARealPhoneIsServedRightAfterManyPhonesLeave) {
  start();
  std::vector<std::unique_ptr<ScriptedPhone>> crowd;
  for (size_t i = 0; i < 64; ++i) {
    crowd.push_back(std::make_unique<ScriptedPhone>(radio_, numberedId(i), "Passer-by"));
  }
  crowd.clear();  // every one leaves at once
  auto real = phone("Real Phone");
  app_->send("open Connect");
  ASSERT_TRUE(app_->waitForLine("Discovered Real Phone", 10s));
  app_->send("choose Connect > Real Phone");
  ASSERT_TRUE(app_->waitForLine("Connected to Real Phone", 10s));
  EXPECT_TRUE(real->waitFor("subscribe", 10s).has_value());
  EXPECT_EQ(app_->stderrText().find("too many phones"), std::string::npos) << app_->stderrText();
}

}  // namespace
}  // namespace e2e
