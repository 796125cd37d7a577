#include "platform/base/child_exit_watch.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <optional>

namespace base {
namespace {

using namespace std::chrono_literals;

// How a child ends: by exiting with `code`, or by `signal` when not 0.
struct End {
  const char* name;
  int code;
  int signal;
};

class ChildExitWatchTest : public ::testing::TestWithParam<End> {};

TEST_P(ChildExitWatchTest, HearsTheEndOnceAndReapsTheChild) {
  int gate[2];
  ASSERT_EQ(::pipe(gate), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(gate[1]);
    char c = 0;
    [[maybe_unused]] const ssize_t n = ::read(gate[0], &c, 1);  // until the gate closes
    if (GetParam().signal != 0) ::raise(GetParam().signal);
    ::_exit(GetParam().code);
  }
  ::close(gate[0]);

  int calls = 0;
  std::optional<int> status;
  ChildExitWatch watch(RunLoop::main(), child, [&](int s) {
    ++calls;
    status = s;
  });
  RunLoop::main().runOnce(RunLoop::main().now());
  EXPECT_TRUE(watch.active());  // the child waits at its gate
  EXPECT_EQ(calls, 0);

  ::close(gate[1]);
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return !watch.active(); }, 20s));
  ASSERT_EQ(calls, 1);
  if (GetParam().signal != 0) {
    ASSERT_TRUE(WIFSIGNALED(*status));
    EXPECT_EQ(WTERMSIG(*status), GetParam().signal);
  } else {
    ASSERT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), GetParam().code);
  }
  // Reaped: no zombie is left.
  errno = 0;
  EXPECT_EQ(::waitpid(child, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

INSTANTIATE_TEST_SUITE_P(Ends, ChildExitWatchTest,
                         ::testing::Values(End{"ExitsZero", 0, 0}, End{"ExitsThree", 3, 0},
                                           End{"IsKilled", 0, SIGKILL}),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace base
