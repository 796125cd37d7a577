#include "platform/base/log.h"

#include <limits.h>
#include <poll.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <map>
#include <string>

#include "platform/base/file.h"
#include "platform/base/run_loop.h"

namespace base {
namespace {

using namespace std::chrono_literals;

// Standard error, written without ever waiting.
class ErrorWriter {
 public:
  static ErrorWriter& shared() {
    static auto* writer = new ErrorWriter();  // used until the very end of the process
    return *writer;
  }

  void write(std::string text) {
    if (pending_.empty()) {
      const size_t done = writeNow(text);
      if (done == text.size()) return;
      text.erase(0, done);
    }
    if (pending_.size() + text.size() > kErrorBufferBytes) {
      ++dropped_;
    } else {
      pending_ += text;
    }
    watch();
  }

  void flush(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pending_.empty() || dropped_ > 0) {
      drain();
      if (pending_.empty() && dropped_ == 0) break;
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) break;
      pollfd p{STDERR_FILENO, POLLOUT, 0};
      if (::poll(&p, 1, static_cast<int>(left)) <= 0 || (p.revents & POLLOUT) == 0) break;
    }
  }

 private:
  // Writes as much of `text` as standard error takes without waiting. For a
  // pipe, POLLOUT promises room for PIPE_BUF bytes, so each write is at most
  // that.
  static size_t writeNow(std::string_view text) {
    size_t done = 0;
    while (done < text.size()) {
      pollfd p{STDERR_FILENO, POLLOUT, 0};
      const int ready = ::poll(&p, 1, 0);
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0 || (p.revents & POLLOUT) == 0) break;
      const size_t chunk = std::min<size_t>(text.size() - done, PIPE_BUF);
      const ssize_t n = ::write(STDERR_FILENO, text.data() + done, chunk);
      if (n < 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN) break;
        return text.size();  // nowhere left to report it: give up on this text
      }
      done += static_cast<size_t>(n);
    }
    return done;
  }

  void drain() {
    const size_t done = writeNow(pending_);
    pending_.erase(0, done);
    if (pending_.empty() && dropped_ > 0) {
      const std::string note = "(" + std::to_string(dropped_) +
                               " messages to standard error were dropped: it was not read)\n";
      if (writeNow(note) == note.size()) dropped_ = 0;
    }
  }

  void watch() {
    if (watch_.active()) return;
    watch_ = RunLoop::main().watchFd(STDERR_FILENO, POLLOUT, [this](short /*revents*/) {
      drain();
      if (pending_.empty() && dropped_ == 0) watch_.reset();
    });
  }

  std::string pending_;
  size_t dropped_ = 0;
  Handle watch_;
};

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
        ErrorWriter::shared().write("(" + std::to_string(entry.count - kErrorsPerKindPerSecond) +
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

void printLine(std::string_view line) { writeAll(STDOUT_FILENO, withLineFeed(line)); }

void printError(std::string_view line) {
  if (KindLimiter::shared().admit(line)) ErrorWriter::shared().write(withLineFeed(line));
}

void printReply(std::string_view line) { ErrorWriter::shared().write(withLineFeed(line)); }

void printPrompt(std::string_view text) { ErrorWriter::shared().write(std::string(text)); }

void flushErrors(int timeoutMs) { ErrorWriter::shared().flush(timeoutMs); }

}  // namespace base
