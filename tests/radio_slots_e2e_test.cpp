// The radio's places for phones and its start-up, with the real program:
// connections that never advertise, and an earlier instance that holds the
// radio's path but stopped accepting.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "tests/app_fixture.h"

namespace e2e {
namespace {

class RadioSlots : public AppTest {};

TEST_F(RadioSlots, SilentConnectionsLoseTheirPlacesToARealPhone) {
  start();
  std::vector<std::unique_ptr<ScriptedPhone>> silent;
  for (size_t i = 0; i < 64; ++i) {
    silent.push_back(std::make_unique<ScriptedPhone>(radio_, numberedId(i), "Silent", true,
                                                     /*advertiseNow=*/false));
    ASSERT_TRUE(silent.back()->connected());
  }
  // They hold every place for now.
  ScriptedPhone early(radio_, numberedId(64), "Early Phone");
  EXPECT_TRUE(early.waitForClose(10s));
  EXPECT_TRUE(app_->waitForStderr("too many phones in range", 10s));

  for (auto& phone : silent) EXPECT_TRUE(phone->waitForClose(30s));
  // One line each, of which the log shows a few a second and sums up the rest.
  EXPECT_TRUE(app_->waitForStderr(
      "(not advertised yet): it did not advertise within 5 seconds; closing its connection", 10s));
  auto real = phone("Real Phone");
  connect(*real, "Real Phone");
}

TEST_F(RadioSlots, AnEarlierInstanceThatStoppedAcceptingIsReportedAndTheProgramRunsOn) {
  // A listener at the radio's path whose backlog is full, as an instance
  // stopped with Ctrl-Z leaves it.
  const std::string folder = std::filesystem::path(radio_).parent_path().string();
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", radio_.c_str());
  const auto* raw = reinterpret_cast<const sockaddr*>(&address);
  std::vector<int> fds = {::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)};
  ASSERT_EQ(::bind(fds[0], raw, sizeof address), 0) << std::strerror(errno);
  ASSERT_EQ(::listen(fds[0], 0), 0);
  for (;;) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (::connect(fd, raw, sizeof address) != 0) {
      EXPECT_EQ(errno, EAGAIN) << std::strerror(errno);
      ::close(fd);
      break;
    }
    fds.push_back(fd);
  }

  start();
  EXPECT_TRUE(app_->waitForStderr(
      "radio: another program is already listening on " + radio_ + "; Bluetooth is unsupported",
      10s));
  app_->send("quit");
  EXPECT_EQ(app_->wait(10s), 0);
  EXPECT_TRUE(std::filesystem::is_socket(radio_)) << "the other program's socket is left alone";
  for (const int fd : fds) ::close(fd);
}

}  // namespace
}  // namespace e2e
