#include "platform/base/log.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "platform/base/run_loop.h"

namespace base {
namespace {

using namespace std::chrono_literals;

// One output stream written without ever waiting: what the reader does not
// take at once waits here and is written from the run loop when the stream
// is writable again.
class Output {
 public:
  enum class Overflow {
    drop,     // past the bound, messages are dropped and counted
    backlog,  // nothing is dropped; the backlog handler hears of the bound
  };

  Output(int fd, size_t bound, Overflow overflow) : fd_(fd), bound_(bound), overflow_(overflow) {}

  void write(std::string text) {
    if (failure_) return;
    if (pending_.empty()) {
      const size_t done = writeNow(text);
      if (done == text.size()) return;
      text.erase(0, done);
    }
    if (overflow_ == Overflow::drop && pending_.size() + text.size() > bound_) {
      ++dropped_;
    } else {
      pending_ += text;
      setBacklogged(pending_.size() > bound_);
    }
    watch();
  }

  // Writes what waits, waiting for the reader until `timeout` has passed.
  void flush(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!failure_ && (!pending_.empty() || dropped_ > 0)) {
      drain();
      if (failure_ || (pending_.empty() && dropped_ == 0)) break;
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) break;
      pollfd p{fd_, POLLOUT, 0};
      if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
    }
  }

  // The lines that wait, whole or in part.
  [[nodiscard]] size_t pendingLines() const {
    return static_cast<size_t>(std::count(pending_.begin(), pending_.end(), '\n'));
  }

  std::function<void(bool backlogged)> onBacklog;
  std::function<void(int error)> onFailure;
  [[nodiscard]] std::optional<int> failure() const { return failure_; }

 private:
  // Writes as much of `text` as the stream takes without waiting. For a
  // pipe, POLLOUT promises room for PIPE_BUF bytes, so each write is at most
  // that. An error or hang-up is written to anyway, to learn what it is.
  size_t writeNow(std::string_view text) {
    size_t done = 0;
    while (done < text.size()) {
      pollfd p{fd_, POLLOUT, 0};
      const int ready = ::poll(&p, 1, 0);
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) break;
      const size_t chunk = std::min<size_t>(text.size() - done, PIPE_BUF);
      const ssize_t n = ::write(fd_, text.data() + done, chunk);
      if (n < 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN) break;
        // The reader is gone, or the file or device cannot take more:
        // nothing written here will ever arrive.
        const int error = errno;
        giveUp(readerLeft(error) ? EPIPE : error);
        return text.size();
      }
      done += static_cast<size_t>(n);
    }
    return done;
  }

  // Whether a failed write means the reader is gone, as a closed pipe's
  // EPIPE does: a terminal whose other side hung up fails with EIO (and
  // answers even isatty with EIO from then on), a socket its peer reset with
  // ECONNRESET.
  [[nodiscard]] bool readerLeft(int error) const {
    if (error == EPIPE || error == ECONNRESET) return true;
    if (error != EIO) return false;
    errno = 0;
    return ::isatty(fd_) != 0 || errno == EIO;
  }

  void drain() {
    const size_t done = writeNow(pending_);
    pending_.erase(0, done);
    if (pending_.empty() && dropped_ > 0) {
      const std::string note = "(" + std::to_string(dropped_) +
                               " messages to standard error were dropped: it was not read)\n";
      if (writeNow(note) == note.size()) dropped_ = 0;
    }
    if (pending_.empty()) setBacklogged(false);
  }

  void watch() {
    if (watch_.active() || failure_) return;
    watch_ = RunLoop::main().watchFd(fd_, POLLOUT, [this](short /*revents*/) {
      drain();
      if (failure_ || (pending_.empty() && dropped_ == 0)) watch_.reset();
    });
  }

  void setBacklogged(bool backlogged) {
    if (backlogged == backlogged_) return;
    backlogged_ = backlogged;
    if (onBacklog) onBacklog(backlogged);
  }

  void giveUp(int error) {
    if (failure_) return;
    failure_ = error;
    pending_.clear();
    dropped_ = 0;
    watch_.reset();
    setBacklogged(false);
    // Heard on a later turn: the write that found it may be deep in any call.
    RunLoop::main().post([this, error] {
      if (onFailure) onFailure(error);
    });
  }

  int fd_;
  size_t bound_;
  Overflow overflow_;
  std::string pending_;
  size_t dropped_ = 0;
  bool backlogged_ = false;
  std::optional<int> failure_;
  Handle watch_;
};

// Standard error: never waited for; what does not fit is dropped and counted.
Output& errors() {
  static auto* output =  // used until the very end of the process
      new Output(STDERR_FILENO, kErrorBufferBytes, Output::Overflow::drop);
  return *output;
}

// Standard output: the system's diagnostic lines, never dropped and never
// waited for; a backlog past the bound is the owner's to slow down.
Output& diagnostics() {
  static auto* output = new Output(STDOUT_FILENO, kOutputBacklogBytes, Output::Overflow::backlog);
  return *output;
}

// The kind of a message: its text with every word that holds a digit (numbers,
// identifiers, addresses) and every quoted part masked.
std::string kindOf(std::string_view line) {
  std::string kind;
  kind.reserve(line.size());
  size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == '"' || c == '\'') {
      const size_t close = line.find(c, i + 1);
      kind += "\"\"";
      i = close == std::string_view::npos ? line.size() : close + 1;
      continue;
    }
    if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
      size_t end = i;
      bool digit = false;
      while (end < line.size() && (std::isalnum(static_cast<unsigned char>(line[end])) != 0 ||
                                   line[end] == '-' || line[end] == '_')) {
        digit = digit || std::isdigit(static_cast<unsigned char>(line[end])) != 0;
        ++end;
      }
      if (digit) {
        kind += '#';
      } else {
        kind.append(line.substr(i, end - i));
      }
      i = end;
      continue;
    }
    kind += c;
    ++i;
  }
  return kind;
}

// At most kErrorsPerKindPerSecond messages of one kind each second; the rest
// are counted and summed up when the second is over.
class KindLimiter {
 public:
  static KindLimiter& shared() {
    static auto* limiter = new KindLimiter();
    return *limiter;
  }

  // Whether `line` may be written now.
  bool admit(std::string_view line) {
    const auto now = Clock::now();
    // A flood of ever new kinds ends every window at once.
    summarize(kinds_.size() >= kMaxKinds ? Clock::time_point::max() : now);
    Entry& entry = kinds_[kindOf(line)];
    if (entry.count == 0) entry.windowStart = now;
    if (entry.count++ < kErrorsPerKindPerSecond) return true;
    entry.sample = line;
    armTimer();
    return false;
  }

 private:
  static constexpr size_t kMaxKinds = 256;
  struct Entry {
    Clock::time_point windowStart;
    size_t count = 0;
    std::string sample;  // the last message held back
  };

  // Ends the windows that are over by `now`, writing a line for what each
  // held back.
  void summarize(Clock::time_point now) {
    for (auto it = kinds_.begin(); it != kinds_.end();) {
      Entry& entry = it->second;
      if (now != Clock::time_point::max() && now - entry.windowStart < 1s) {
        ++it;
        continue;
      }
      if (entry.count > kErrorsPerKindPerSecond) {
        errors().write("(" + std::to_string(entry.count - kErrorsPerKindPerSecond) +
                       " more like: " + entry.sample + ")\n");
      }
      it = kinds_.erase(it);
    }
  }

  void armTimer() {
    if (timer_.active()) return;
    timer_ = RunLoop::main().addTimer(1s, true, [this] {
      summarize(Clock::now());
      bool holding = false;
      for (const auto& [kind, entry] : kinds_)
        holding = holding || entry.count > kErrorsPerKindPerSecond;
      if (!holding) timer_.reset();
    });
  }

  std::map<std::string, Entry> kinds_;
  Handle timer_;
};

std::string withLineFeed(std::string_view line) {
  std::string text;
  text.reserve(line.size() + 1);
  text.append(line);
  text.push_back('\n');
  return text;
}

}  // namespace

void openMissingStandardDescriptors() {
  for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    // The lowest free number is taken: this one, as the lower ones are open.
    const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) {
      ::dup2(opened, fd);
      ::close(opened);
    }
  }
}

void printLine(std::string_view line) { diagnostics().write(withLineFeed(line)); }

void printError(std::string_view line) {
  if (KindLimiter::shared().admit(line)) errors().write(withLineFeed(line));
}

void printReply(std::string_view line) { errors().write(withLineFeed(line)); }

void printPrompt(std::string_view text) { errors().write(std::string(text)); }

void setOutputBacklogHandler(std::function<void(bool backlogged)> handler) {
  diagnostics().onBacklog = std::move(handler);
}

void setOutputFailureHandler(std::function<void(int error)> handler) {
  diagnostics().onFailure = std::move(handler);
}

std::optional<int> outputFailure() { return diagnostics().failure(); }

size_t flushOutput(std::chrono::milliseconds outputTimeout,
                   std::chrono::milliseconds errorTimeout) {
  diagnostics().flush(outputTimeout);
  const size_t lost = diagnostics().pendingLines();
  if (lost > 0) {
    const auto ms = outputTimeout.count();
    const std::string wait =
        ms % 1000 == 0 ? std::to_string(ms / 1000) + " seconds" : std::to_string(ms) + " ms";
    errors().write(withLineFeed(
        "standard output did not take its last " +
        (lost == 1 ? std::string("line within ") + wait + "; it is lost"
                   : std::to_string(lost) + " lines within " + wait + "; they are lost")));
  }
  errors().flush(errorTimeout);
  return lost;
}

}  // namespace base
