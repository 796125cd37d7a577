#include "platform/ble/line_channel.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
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
    if (peer_ >= 0) ::close(peer_);
  }

  void open(LineChannel::Limits limits, LineChannel::LineHandler onLine) {
    channel = LineChannel::adopt(mine_, limits, std::move(onLine),
                                 [this](LineChannel::CloseReason reason) { closed = reason; });
  }
  void write(const std::string& text) {
    ASSERT_EQ(::write(peer_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  // The other end goes away altogether, reading nothing more.
  void leave() {
    ::close(peer_);
    peer_ = -1;
  }

  // Lines handled and the end, in the order the owner hears of them.
  void openRecording(LineChannel::Limits limits = {},
                     const std::function<void()>& duringLine = {}) {
    channel = LineChannel::adopt(
        mine_, limits,
        [this, duringLine](const std::string& line) {
          heard.push_back(line);
          if (duringLine) duringLine();
        },
        [this](LineChannel::CloseReason reason) {
          closed = reason;
          heard.emplace_back("(closed)");
        });
  }
  [[nodiscard]] size_t unreadBytes() const {
    int bytes = 0;
    return ::ioctl(mine_, FIONREAD, &bytes) == 0 ? static_cast<size_t>(bytes) : 0;
  }

  std::shared_ptr<LineChannel> channel;
  std::optional<LineChannel::CloseReason> closed;
  std::vector<std::string> heard;
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

// While held, a channel is read by nobody: not by the loop, not by readNow.
// The bytes stay in the socket, and an end is taken only when nothing is
// left unread; the lines read before it are handled once reading resumes.
TEST_F(LineChannelTest, AHeldChannelIsNeverReadAndItsEndWaitsForItsLines) {
  bool pauseAfterA = true;
  openRecording({}, [&] {
    if (pauseAfterA && heard.back() == "a") channel->pauseReading(true);
  });
  write("a\nb\n");
  channel->readNow();  // "b" is read but waits: "a" held the channel
  EXPECT_EQ(heard, std::vector<std::string>{"a"});
  write(std::string(64 * 1024, 'y') + "\nc\n");
  for (int i = 0; i < 10; ++i) channel->readNow();
  RunLoop::main().runFor(30ms);
  EXPECT_EQ(unreadBytes(), 64 * 1024 + 3U) << "a held channel was read";
  ::shutdown(peer_, SHUT_WR);
  channel->readNow();
  EXPECT_FALSE(closed.has_value()) << "the end was taken with lines still unread";

  pauseAfterA = false;
  channel->pauseReading(false);
  RunLoop::main().runUntil([&] { return closed.has_value(); }, 5s);
  ASSERT_EQ(heard.size(), 5U);
  EXPECT_EQ(heard[1], "b");
  EXPECT_EQ(heard[3], "c");
  EXPECT_EQ(heard[4], "(closed)");
  EXPECT_EQ(closed, LineChannel::CloseReason::peerClosed);
}

TEST_F(LineChannelTest, AHeldChannelWhoseOtherEndLeftIsEndedByReadNowAfterTheLinesItRead) {
  bool hold = true;
  openRecording({}, [&] {
    if (hold) channel->pauseReading(true);
  });
  write("a\nb\n");
  channel->readNow();
  ::shutdown(peer_, SHUT_WR);
  channel->readNow();  // nothing is unread now: the end is seen
  EXPECT_FALSE(channel->isOpen());
  EXPECT_EQ(heard, std::vector<std::string>{"a"}) << "heard before \"b\" was handled";
  hold = false;
  channel->pauseReading(false);
  RunLoop::main().runUntil([&] { return closed.has_value(); }, 5s);
  EXPECT_EQ(heard, (std::vector<std::string>{"a", "b", "(closed)"}));
}

TEST_F(LineChannelTest, AHeldChannelWithNothingWaitingIsEndedByReadNowAtOnce) {
  openRecording();
  channel->pauseReading(true);
  ::shutdown(peer_, SHUT_WR);
  channel->readNow();
  EXPECT_EQ(closed, LineChannel::CloseReason::peerClosed);
}

// An end seen while every handler is open, whether the other end left or
// sent a line past the limit: the lines before it are still handled, in
// order, once the handlers return, and the end is heard after them.
class LineChannelEndTest : public LineChannelTest,
                           public ::testing::WithParamInterface<LineChannel::CloseReason> {};

TEST_P(LineChannelEndTest, AnEndBehindOpenHandlersComesAfterEveryLineSentBeforeIt) {
  LineChannel::Limits limits;
  limits.maxLine = 64;
  bool release = false;
  size_t opened = 0;
  bool endReadWhileDeepest = false;
  bool heardWhileDeepest = false;
  openRecording(limits, [&] {
    if (++opened < LineChannel::kMaxNestedLines) {
      RunLoop::main().runUntil([&] { return release; }, 5s);
    } else if (opened == LineChannel::kMaxNestedLines) {
      // The innermost handler runs the loop; the end has been read by now.
      RunLoop::main().runFor(50ms);
      endReadWhileDeepest = !channel->isOpen();
      heardWhileDeepest = closed.has_value();
      release = true;
    }
  });
  write("1\n2\n3\n4\n5\n6\n");
  if (GetParam() == LineChannel::CloseReason::lineTooLong) {
    write(std::string(100, 'x'));
  } else {
    ::shutdown(peer_, SHUT_WR);
  }
  RunLoop::main().runUntil([&] { return closed.has_value(); }, 5s);
  EXPECT_TRUE(endReadWhileDeepest) << "the end was not read";
  EXPECT_FALSE(heardWhileDeepest) << "heard before lines 5 and 6";
  EXPECT_EQ(heard, (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "(closed)"}));
  EXPECT_EQ(closed, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Ends, LineChannelEndTest,
                         ::testing::Values(LineChannel::CloseReason::peerClosed,
                                           LineChannel::CloseReason::lineTooLong));

// A write that finds the other end gone, whether sent at once or queued
// behind output the other end never read, and whether the channel is held
// or not: only the output is given up. Every line the other end sent before
// leaving is handled, in order, and then its leaving, once and as a close.
struct WriteToALeftEnd {
  const char* name;
  bool queued;  // the write fails when the loop flushes, not inside send()
  bool held;    // a line's handler pauses reading before the write
};

class LineChannelWriteTest : public LineChannelTest,
                             public ::testing::WithParamInterface<WriteToALeftEnd> {};

TEST_P(LineChannelWriteTest, AWriteToAnEndThatLeftLosesNoneOfWhatItSent) {
  bool holdAfterA = GetParam().held;
  openRecording({}, [&] {
    if (holdAfterA && heard.back() == "a") channel->pauseReading(true);
  });
  if (GetParam().queued) {
    // The other end reads nothing: output piles up in the channel.
    const std::string line(1024, 'o');
    for (int i = 0; i < 1024 && channel->queuedBytes() == 0; ++i) ASSERT_TRUE(channel->send(line));
    ASSERT_GT(channel->queuedBytes(), 0U);
  }
  write("a\nb\n");
  if (GetParam().held) channel->readNow();  // "a" is handled and holds "b" back
  write("c\n");
  leave();
  if (GetParam().queued) {
    RunLoop::main().runUntil([&] { return channel->queuedBytes() == 0; }, 5s);
    EXPECT_EQ(channel->queuedBytes(), 0U) << "output to an end that left is still queued";
  } else {
    EXPECT_FALSE(channel->send("answer"));
  }
  EXPECT_FALSE(channel->send("more")) << "written to an end that left";
  if (GetParam().held) {
    EXPECT_FALSE(closed.has_value()) << "ended before its lines were handled";
  }

  holdAfterA = false;
  channel->pauseReading(false);
  RunLoop::main().runUntil([&] { return closed.has_value(); }, 5s);
  RunLoop::main().runFor(30ms);  // a second end would be heard meanwhile
  EXPECT_EQ(heard, (std::vector<std::string>{"a", "b", "c", "(closed)"}));
  EXPECT_EQ(closed, LineChannel::CloseReason::peerClosed);
}

INSTANTIATE_TEST_SUITE_P(Writes, LineChannelWriteTest,
                         ::testing::Values(WriteToALeftEnd{"Sent", false, false},
                                           WriteToALeftEnd{"SentHeld", false, true},
                                           WriteToALeftEnd{"Queued", true, false},
                                           WriteToALeftEnd{"QueuedHeld", true, true}),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace ble
