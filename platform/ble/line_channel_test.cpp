#include "platform/ble/line_channel.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

namespace ble {
namespace {

using namespace std::chrono_literals;
using base::RunLoop;

// A channel on one end of a socket pair; the test writes the other end.
class LineChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    peer_ = fds[1];
    mine_ = fds[0];
  }
  void TearDown() override {
    if (channel) channel->close();
    ::close(peer_);
  }

  void open(LineChannel::Limits limits, LineChannel::LineHandler onLine) {
    channel = LineChannel::adopt(mine_, limits, std::move(onLine),
                                 [this](LineChannel::CloseReason reason) { closed = reason; });
  }
  void write(const std::string& text) {
    ASSERT_EQ(::write(peer_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }

  std::shared_ptr<LineChannel> channel;
  std::optional<LineChannel::CloseReason> closed;
  int peer_ = -1;
  int mine_ = -1;
};

// Each line's handler runs the loop nested until released, as a modal alert
// does: the channel's later lines are handled inside it, but only so deep.
TEST_F(LineChannelTest, HandlersThatRunTheLoopNestOnlySoDeepAndTheRestWaitInOrder) {
  constexpr size_t kDeepest = LineChannel::kMaxNestedLines;
  std::vector<std::string> started;
  size_t startedWhileDeepest = 0;
  bool release = false;
  int depth = 0;
  int deepest = 0;
  open({}, [&](const std::string& line) {
    started.push_back(line);
    deepest = std::max(deepest, ++depth);
    if (started.size() < kDeepest) {
      RunLoop::main().runUntil([&] { return release; }, 5s);
    } else if (!release) {
      // The deepest handler runs the loop too: no further line may start.
      RunLoop::main().runFor(30ms);
      startedWhileDeepest = started.size();
      release = true;
    }
    --depth;
  });
  write("1\n2\n3\n4\n5\n6\n7\n");
  RunLoop::main().runUntil([&] { return started.size() == 7; }, 5s);
  EXPECT_EQ(startedWhileDeepest, kDeepest);
  EXPECT_EQ(static_cast<size_t>(deepest), kDeepest);
  EXPECT_EQ(started, (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7"}));
  EXPECT_FALSE(closed.has_value());
}

TEST_F(LineChannelTest, LinesWaitingBehindOpenHandlersAreBoundedAndPastTheBoundTheChannelCloses) {
  LineChannel::Limits limits;
  limits.maxWaiting = 4096;
  size_t handled = 0;
  const std::string line(99, 'x');
  open(limits, [&](const std::string&) {
    // With every handler open, far more comes than may wait.
    if (++handled == LineChannel::kMaxNestedLines) {
      for (int i = 0; i < 100; ++i) write(line + "\n");  // 10 KB
    }
    RunLoop::main().runUntil([&] { return closed.has_value(); }, 5s);
  });
  for (size_t i = 0; i < LineChannel::kMaxNestedLines; ++i) write(line + "\n");
  RunLoop::main().runUntil([&] { return closed.has_value(); }, 5s);
  ASSERT_TRUE(closed.has_value());
  EXPECT_EQ(*closed, LineChannel::CloseReason::inputFull);
  EXPECT_EQ(handled, LineChannel::kMaxNestedLines);
  EXPECT_FALSE(channel->isOpen());
}

TEST_F(LineChannelTest, PausedReadingHandlesNothingUntilResumedAndLosesNothing) {
  std::vector<std::string> got;
  open({}, [&](const std::string& line) { got.push_back(line); });
  write("a\n");
  RunLoop::main().runUntil([&] { return got.size() == 1; }, 5s);
  channel->pauseReading(true);
  write("b\nc\n");
  RunLoop::main().runFor(30ms);
  EXPECT_EQ(got, std::vector<std::string>{"a"});
  channel->pauseReading(false);
  RunLoop::main().runUntil([&] { return got.size() == 3; }, 5s);
  EXPECT_EQ(got, (std::vector<std::string>{"a", "b", "c"}));
}

}  // namespace
}  // namespace ble
