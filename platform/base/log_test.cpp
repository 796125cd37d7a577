#include "platform/base/log.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/base/file.h"
#include "platform/base/run_loop.h"

namespace base {
namespace {

using namespace std::chrono_literals;

// Points standard error (or another stream) somewhere else for the life of
// the object.
class StderrTo {
 public:
  explicit StderrTo(int fd, int stream = STDERR_FILENO) : stream_(stream), saved_(::dup(stream)) {
    ::dup2(fd, stream_);
  }
  StderrTo(const StderrTo&) = delete;
  StderrTo& operator=(const StderrTo&) = delete;
  ~StderrTo() {
    ::dup2(saved_, stream_);
    ::close(saved_);
  }

 private:
  int stream_;
  int saved_;
};

size_t countOf(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(ErrorLog, RepeatsOfOneKindAreLimitedAndSummedUpWhenTheSecondIsOver) {
  char path[] = "/tmp/log-test-XXXXXX";
  const int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  {
    StderrTo redirect(fd);
    // Phones with other numbers and names are still one kind of message.
    for (int i = 0; i < 20; ++i) {
      printError("radio: phone #" + std::to_string(i) + " \"Phone " + std::to_string(i) +
                 "\": line too long; closing its connection");
    }
    printError("radio: cannot accept a phone: Too many open files");
    printError("radio: cannot accept a phone: Too many open files");
    // The console's answers are never held back.
    for (int i = 0; i < 20; ++i) printReply("Status menu:");
    RunLoop::main().runFor(1200ms);
  }
  ::close(fd);
  const auto text = readFile(path);
  ::unlink(path);
  ASSERT_TRUE(text);
  EXPECT_EQ(countOf(*text, "; closing its connection\n"), kErrorsPerKindPerSecond) << *text;
  EXPECT_EQ(countOf(*text, "(15 more like: radio: phone #19 \"Phone 19\": line too long"), 1U)
      << *text;
  EXPECT_EQ(countOf(*text, "cannot accept a phone"), 2U);
  EXPECT_EQ(countOf(*text, "Status menu:\n"), 20U);
}

TEST(ErrorLog, AStandardErrorNobodyReadsNeverBlocksAndDropsAreCounted) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const std::string line(1000, 'x');
  constexpr int kLines = 400;  // far more than the pipe and the buffer hold
  {
    StderrTo redirect(fds[1]);
    for (int i = 0; i < kLines; ++i) printReply(line);  // a blocking write would hang here
    // Now the reader comes: everything buffered arrives, then the count.
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
    std::string got;
    char buf[65536];
    const auto deadline = Clock::now() + 5s;
    while (got.find("were dropped") == std::string::npos && Clock::now() < deadline) {
      RunLoop::main().runFor(5ms);
      for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
        got.append(buf, static_cast<size_t>(n));
    }
    const size_t whole = countOf(got, line + "\n");
    EXPECT_GT(whole, 64U);  // the pipe's share and the buffer's
    EXPECT_LT(whole, static_cast<size_t>(kLines));
    EXPECT_NE(
        got.find("(" + std::to_string(kLines - whole) + " messages to standard error were dropped"),
        std::string::npos)
        << got.substr(got.size() > 200 ? got.size() - 200 : 0);
  }
  ::close(fds[0]);
  ::close(fds[1]);
}

TEST(OutputLog, AStandardOutputNobodyReadsNeverBlocksLosesNothingAndReportsItsBacklog) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::vector<bool> backlog;
  setOutputBacklogHandler([&backlog](bool backlogged) { backlog.push_back(backlogged); });
  constexpr int kLines = 2000;  // 200 KB: more than the pipe and the bound together
  {
    StderrTo redirect(fds[1], STDOUT_FILENO);
    for (int i = 0; i < kLines; ++i) printLine("line " + std::to_string(i) + std::string(90, '.'));
    EXPECT_EQ(backlog, std::vector<bool>{true});
    // The reader comes: every line arrives, in order, and the backlog is over.
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
    std::string got;
    char buf[65536];
    const std::string last = "line " + std::to_string(kLines - 1) + std::string(90, '.') + "\n";
    const auto deadline = Clock::now() + 5s;
    while (got.find(last) == std::string::npos && Clock::now() < deadline) {
      RunLoop::main().runFor(5ms);
      for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
        got.append(buf, static_cast<size_t>(n));
    }
    std::string expected;
    for (int i = 0; i < kLines; ++i)
      expected += "line " + std::to_string(i) + std::string(90, '.') + "\n";
    EXPECT_EQ(got, expected);
    EXPECT_EQ(backlog, (std::vector<bool>{true, false}));
  }
  setOutputBacklogHandler({});
  ::close(fds[0]);
  ::close(fds[1]);
}

// In a child of its own: the standard output it closes stays closed.
TEST(OutputLogDeathTest, AClosedStandardOutputIsReportedOnceAndFromTheLoop) {
  EXPECT_EXIT(
      {
        ::signal(SIGPIPE, SIG_IGN);  // as the program does
        int fds[2];
        if (::pipe(fds) != 0) std::_Exit(3);
        ::close(fds[0]);
        ::dup2(fds[1], STDOUT_FILENO);
        int gone = 0;
        setOutputFailureHandler([&gone](int error) { gone += error == EPIPE ? 1 : 100; });
        printLine("nobody reads this");
        if (gone != 0) std::_Exit(4);  // heard from inside the write
        printLine("nor this");
        RunLoop::main().runFor(20ms);
        std::_Exit(gone == 1 ? 0 : 5);
      },
      testing::ExitedWithCode(0), "");
}

// At exit, what a reader that does not read has not taken is given up on
// after the wait: counted by lines (each line taken whole, or lost) and said.
TEST(OutputLogDeathTest, LinesNotTakenWithinTheExitWaitAreCountedAndSaid) {
  EXPECT_EXIT(
      {
        int out[2];
        int err[2];
        if (::pipe2(out, O_NONBLOCK) != 0 || ::pipe2(err, O_NONBLOCK) != 0) std::_Exit(3);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        constexpr size_t kLines = 3000;  // far more than the pipe holds
        for (size_t i = 0; i < kLines; ++i) printLine("line " + std::string(i % 150, '.'));
        const size_t lost = flushOutput(50ms, 50ms);
        std::string taken;
        std::string said;
        char buf[65536];
        for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;)
          taken.append(buf, static_cast<size_t>(n));
        for (ssize_t n; (n = ::read(err[0], buf, sizeof buf)) > 0;)
          said.append(buf, static_cast<size_t>(n));
        const auto whole = static_cast<size_t>(std::count(taken.begin(), taken.end(), '\n'));
        const std::string expected = "standard output did not take its last " +
                                     std::to_string(lost) + " lines within 50 ms; they are lost\n";
        std::_Exit(lost > 0 && whole + lost == kLines && said == expected ? 0 : 5);
      },
      testing::ExitedWithCode(0), "");
}

// The other side of a pseudo-terminal, closed: the terminal has hung up.
int hungUpTerminal() {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return -1;
  const char* name = ::ptsname(master);
  const int terminal = name == nullptr ? -1 : ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  ::close(master);
  return terminal;
}

// A loopback TCP connection whose peer closed with data unread: it is reset.
int resetSocket() {
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  auto* raw = reinterpret_cast<sockaddr*>(&address);
  if (listener < 0 || ::bind(listener, raw, size) != 0 || ::listen(listener, 1) != 0 ||
      ::getsockname(listener, raw, &size) != 0) {
    return -1;
  }
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || ::connect(fd, raw, size) != 0) return -1;
  const int peer = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
  ::close(listener);
  if (peer < 0 || ::write(fd, "x", 1) != 1) return -1;
  ::close(peer);  // with a byte unread, so the peer resets the connection
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, 5000) == 1 && (p.revents & POLLERR) != 0 ? fd : -1;
}

struct ReaderGone {
  const char* name;
  int (*open)();  // a descriptor whose reader has left, or -1
};

void PrintTo(const ReaderGone& way, std::ostream* out) { *out << way.name; }

class OutputReaderGoneDeathTest : public testing::TestWithParam<ReaderGone> {};

// A reader that left by other means than closing a pipe is gone all the
// same: the failure is EPIPE, not an error of the output's own.
TEST_P(OutputReaderGoneDeathTest, IsReportedAsAClosedPipe) {
  EXPECT_EXIT(
      {
        ::signal(SIGPIPE, SIG_IGN);  // as the program does
        const int fd = GetParam().open();
        if (fd < 0 || ::dup2(fd, STDOUT_FILENO) < 0) std::_Exit(3);
        int heard = 0;
        setOutputFailureHandler([&heard](int error) { heard = error; });
        printLine("nobody reads this");
        RunLoop::main().runFor(20ms);
        if (heard != EPIPE) std::fprintf(stderr, "heard: %s\n", std::strerror(heard));
        std::_Exit(heard == EPIPE ? 0 : 5);
      },
      testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(Ways, OutputReaderGoneDeathTest,
                         testing::Values(ReaderGone{"HungUpTerminal", hungUpTerminal},
                                         ReaderGone{"ResetSocket", resetSocket}),
                         [](const auto& param) { return std::string(param.param.name); });

// A standard output that fails for another reason than a reader gone is
// reported with that error, and the error stays known after the loop.
TEST(OutputLogDeathTest, AFullDiskIsReportedWithItsOwnError) {
  EXPECT_EXIT(
      {
        const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        if (full < 0 || ::dup2(full, STDOUT_FILENO) < 0) std::_Exit(3);
        int heard = 0;
        setOutputFailureHandler([&heard](int error) { heard = error; });
        printLine("no room for this");
        if (outputFailure() != ENOSPC) std::_Exit(4);
        RunLoop::main().runFor(20ms);
        std::_Exit(heard == ENOSPC ? 0 : 5);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace base
