// The radio under hostile or careless phones, with the real program: names
// that would forge lines, and many phones that come and go at once.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>

#include "tests/app_fixture.h"

namespace e2e {
namespace {

class RadioHardening : public AppTest {};

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

// The process listening on the radio at `path`, from the socket's credentials.
pid_t radioProcess(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
  ucred peer{};
  socklen_t size = sizeof peer;
  const bool known =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0;
  ::close(fd);
  return known ? peer.pid : -1;
}

TEST_F(RadioHardening, ARealPhoneIsServedRightAfterManyPhonesLeave) {
  start();
  auto first = phone("Real Phone");  // waits for the socket to appear
  first->goAway();
  const pid_t app = radioProcess(radio_);
  ASSERT_GT(app, 0);
  std::vector<std::unique_ptr<ScriptedPhone>> crowd;
  for (size_t i = 0; i < 64; ++i) {
    crowd.push_back(std::make_unique<ScriptedPhone>(radio_, numberedId(i), "Passer-by"));
  }
  app_->drain(300ms);  // all of them are in range
  // Every one leaves and a real phone comes while the program is busy, so it
  // sees all of that at once.
  ASSERT_EQ(::kill(app, SIGSTOP), 0);
  crowd.clear();
  auto real = phone("Real Phone");
  ASSERT_EQ(::kill(app, SIGCONT), 0);
  connect(*real, "Real Phone");
  EXPECT_EQ(app_->stderrText().find("too many phones"), std::string::npos) << app_->stderrText();
}

}  // namespace
}  // namespace e2e
