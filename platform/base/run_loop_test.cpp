#include "platform/base/run_loop.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/base/termination_signals.h"

using namespace std::chrono_literals;

namespace base {
namespace {

TEST(RunLoop, PostedTasksRunInOrderAndNotInsideTheCallThatPostedThem) {
  RunLoop loop;
  std::vector<int> order;
  loop.post([&] {
    order.push_back(1);
    loop.post([&] { order.push_back(3); });
  });
  loop.post([&] { order.push_back(2); });
  EXPECT_TRUE(order.empty());
  loop.runUntil([&] { return order.size() == 3; }, 1s);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(RunLoop, AfterIoTasksRunOncePostedWorkAndReadyDescriptorsHadTheirTurn) {
  RunLoop loop;
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::vector<std::string> order;
  auto watch = loop.watchFd(fds[0], POLLIN, [&](short) {
    char c = 0;
    (void)!::read(fds[0], &c, 1);
    order.push_back("read");
  });
  loop.afterIo([&] {
    order.push_back("after");
    // Queued by an after task: waits for the next poll, after new input.
    (void)!::write(fds[1], "y", 1);
    loop.afterIo([&] { order.push_back("after again"); });
  });
  loop.post([&] { order.push_back("posted"); });
  (void)!::write(fds[1], "x", 1);
  loop.runUntil([&] { return order.size() == 5; }, 1s);
  EXPECT_EQ(order, (std::vector<std::string>{"posted", "read", "after", "read", "after again"}));
  ::close(fds[0]);
  ::close(fds[1]);
}

TEST(RunLoop, AfterIoTasksAlsoRunInANestedRun) {
  RunLoop loop;
  bool ran = false;
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  // A descriptor callback that runs the loop nested, as a modal alert does,
  // with an after task queued before its poll: the nested run must run it.
  auto watch = loop.watchFd(fds[0], POLLIN, [&](short) {
    char c = 0;
    (void)!::read(fds[0], &c, 1);
    loop.runUntil([&] { return ran; }, 1s);
  });
  (void)!::write(fds[1], "x", 1);
  loop.afterIo([&] { ran = true; });
  loop.runUntil([&] { return ran; }, 2s);
  EXPECT_TRUE(ran);
  ::close(fds[0]);
  ::close(fds[1]);
}

TEST(RunLoop, TimersFireInDueOrderAndDroppedHandlesCancel) {
  RunLoop loop;
  std::string fired;
  auto late = loop.addTimer(30ms, false, [&] { fired += "late "; });
  auto early = loop.addTimer(5ms, false, [&] { fired += "early "; });
  auto cancelled = loop.addTimer(10ms, false, [&] { fired += "cancelled "; });
  cancelled.reset();
  loop.runFor(60ms);
  EXPECT_EQ(fired, "early late ");
  EXPECT_EQ(loop.timerCount(), 0U);
}

TEST(RunLoop, RepeatingTimerKeepsTickingUntilItsHandleGoes) {
  RunLoop loop;
  int ticks = 0;
  Handle timer = loop.addTimer(2ms, true, [&] { ++ticks; });
  loop.runUntil([&] { return ticks >= 5; }, 1s);
  EXPECT_GE(ticks, 5);
  timer.reset();
  const int seen = ticks;
  loop.runFor(20ms);
  EXPECT_EQ(ticks, seen);
}

TEST(RunLoop, TimerCancellingAnotherDueInTheSameTurnPreventsIt) {
  RunLoop loop;
  Handle second;
  bool secondFired = false;
  Handle first = loop.addTimer(1ms, false, [&] { second.reset(); });
  second = loop.addTimer(1ms, false, [&] { secondFired = true; });
  ::usleep(3000);
  loop.runFor(10ms);
  EXPECT_FALSE(secondFired);
}

// A frame slower than the display period keeps its timer due on every turn;
// input and signals must still be served on the turn that ran it, not
// once drawing catches up (which it never does).
TEST(RunLoop, ARepeatingTimerSlowerThanItsIntervalStillLetsDescriptorsAndSignalsIn) {
  RunLoop loop;
  int ticks = 0;
  Handle slow = loop.addTimer(2ms, true, [&] {
    ++ticks;
    ::usleep(6000);  // three intervals
  });
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  int reads = 0;
  Handle watch = loop.watchFd(fds[0], POLLIN, [&](short) {
    char c = 0;
    if (::read(fds[0], &c, 1) == 1) ++reads;
  });
  std::vector<int> signals;
  auto caught = TerminationSignals::catchOn(loop, [&](int signo) { signals.push_back(signo); });
  ASSERT_TRUE(caught) << caught.error().message;

  // Every turn from now on finds the timer due.
  ::usleep(3000);
  for (int turn = 1; turn <= 3; ++turn) {
    ASSERT_EQ(::write(fds[1], "x", 1), 1);
    ASSERT_EQ(::raise(SIGHUP), 0);
    loop.runOnce(Clock::time_point::max());
    EXPECT_EQ(ticks, turn);
    EXPECT_EQ(reads, turn) << "input waited behind the timer on turn " << turn;
    EXPECT_EQ(signals.size(), static_cast<size_t>(turn))
        << "a signal waited behind the timer on turn " << turn;
  }
  caught->reset();
  watch.reset();
  slow.reset();
  ::close(fds[0]);
  ::close(fds[1]);
}

TEST(RunLoop, WatchReportsReadableDescriptor) {
  RunLoop loop;
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::string got;
  Handle watch = loop.watchFd(fds[0], POLLIN, [&](short) {
    char buf[16];
    const ssize_t n = ::read(fds[0], buf, sizeof buf);
    if (n > 0) got.append(buf, static_cast<size_t>(n));
  });
  ASSERT_EQ(::write(fds[1], "abc", 3), 3);
  loop.runUntil([&] { return got == "abc"; }, 1s);
  EXPECT_EQ(got, "abc");
  ::close(fds[0]);
  ::close(fds[1]);
}

TEST(RunLoop, NestedRunServesTasksAndStopEndsEveryLevel) {
  RunLoop loop;
  bool nestedSawTask = false;
  bool outerReturned = false;
  loop.post([&] {
    loop.post([&] { nestedSawTask = true; });
    loop.runUntil([&] { return nestedSawTask; });
    loop.post([&] { loop.stop(); });
    loop.runUntil([] { return false; });  // ended by stop()
    outerReturned = true;
  });
  loop.run();
  EXPECT_TRUE(nestedSawTask);
  EXPECT_TRUE(outerReturned);
}

TEST(RunLoop, IdleLoopSleepsUntilTheDeadline) {
  RunLoop loop;
  const auto start = Clock::now();
  loop.runFor(30ms);
  EXPECT_GE(Clock::now() - start, 30ms);
}

}  // namespace
}  // namespace base
