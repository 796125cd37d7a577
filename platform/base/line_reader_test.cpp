#include "platform/base/line_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace base {
namespace {

using namespace std::chrono_literals;

// A pipe whose write end the test feeds and whose read end a LineReader reads.
class LineReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RunLoop::main().reset();
    ASSERT_EQ(::pipe(fds_), 0);
  }
  void TearDown() override {
    if (reader_) reader_->stop();
    for (int fd : fds_) {
      if (fd >= 0) ::close(fd);
    }
  }
  void start(size_t maxLine = 8) {
    reader_ = LineReader::watch(fds_[0], maxLine,
                                {.line = [this](std::string line) { onLine(std::move(line)); },
                                 .overlong = [this] { lines_.emplace_back("(overlong)"); },
                                 .end = [this](const std::string& why) { ends_.push_back(why); }});
  }
  void send(const std::string& bytes) {
    ASSERT_EQ(::write(fds_[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  void closeWriter() {
    ::close(fds_[1]);
    fds_[1] = -1;
  }
  void runUntilLines(size_t n) {
    RunLoop::main().runUntil([&] { return lines_.size() >= n; }, 2s);
  }
  virtual void onLine(std::string line) { lines_.push_back(std::move(line)); }

  int fds_[2] = {-1, -1};
  std::shared_ptr<LineReader> reader_;
  std::vector<std::string> lines_;
  std::vector<std::string> ends_;
};

TEST_F(LineReaderTest, WholeLinesOverlongOnesOnceAndTheLastWithoutALineFeed) {
  start();
  send("one\n12345678\n123456789abc");
  send("def\nlast");
  runUntilLines(3);
  closeWriter();
  RunLoop::main().runUntil([&] { return !ends_.empty(); }, 2s);
  EXPECT_EQ(lines_, (std::vector<std::string>{"one", "12345678", "(overlong)", "last"}));
  EXPECT_EQ(ends_, (std::vector<std::string>{""}));
  EXPECT_TRUE(reader_->ended());
  EXPECT_FALSE(reader_->reading());
}

TEST_F(LineReaderTest, APausedReaderReadsNothingAndLosesNothing) {
  start();
  send("a\n");
  runUntilLines(1);
  reader_->pause();
  send("b\nc\n");
  RunLoop::main().runFor(50ms);
  EXPECT_EQ(lines_.size(), 1U);
  reader_->resume();
  runUntilLines(3);
  EXPECT_EQ(lines_, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(ends_.empty());
}

// Stops from inside its handler at the line "stop".
class StoppingReaderTest : public LineReaderTest {
 protected:
  void onLine(std::string line) override {
    if (line == "stop") reader_->stop();
    lines_.push_back(std::move(line));
  }
};

TEST_F(StoppingReaderTest, StoppingFromAHandlerDropsTheRestAndNeverEnds) {
  start();
  send("a\nstop\nb\nc");
  runUntilLines(2);
  closeWriter();
  RunLoop::main().runFor(50ms);
  EXPECT_EQ(lines_, (std::vector<std::string>{"a", "stop"}));
  EXPECT_TRUE(ends_.empty());
  EXPECT_FALSE(reader_->reading());
}

TEST_F(LineReaderTest, AClosedDescriptorEndsTheInputWithAReason) {
  start();
  ::close(fds_[0]);  // the loop sees POLLNVAL
  fds_[0] = -1;
  RunLoop::main().runUntil([&] { return !ends_.empty(); }, 2s);
  EXPECT_EQ(ends_, (std::vector<std::string>{"the input is closed"}));
  EXPECT_TRUE(reader_->ended());
}

}  // namespace
}  // namespace base
