#include "tests/support/app_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/base/file.h"

namespace testing_support {

using Clock = std::chrono::steady_clock;

AppProcess::AppProcess(const std::string& program, const std::vector<std::string>& args,
                       const std::string& stderrPath, const StandardOutput& output,
                       const Inherited& inherited)
    : stderrPath_(stderrPath) {
  int inPipe[2];
  int outPipe[2];
  if (::pipe2(inPipe, O_CLOEXEC) != 0 || ::pipe2(outPipe, O_CLOEXEC) != 0) std::abort();
  std::vector<std::string> argv = {program};
  argv.insert(argv.end(), args.begin(), args.end());
  pid_ = ::fork();
  if (pid_ == 0) {
    // As from a shell: this test process ignores SIGPIPE, which exec keeps.
    ::signal(SIGPIPE, SIG_DFL);
    if (inherited.childSignalIgnored) ::signal(SIGCHLD, SIG_IGN);
    ::dup2(inPipe[0], STDIN_FILENO);
    // Opened close-on-exec: only the copies made here reach the program.
    const int err = ::open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (err >= 0) ::dup2(err, STDERR_FILENO);
    if (output.to == StandardOutput::To::pipe) {
      ::dup2(outPipe[1], STDOUT_FILENO);
    } else if (output.to == StandardOutput::To::file) {
      const int file = ::open(output.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
      if (file < 0 || ::dup2(file, STDOUT_FILENO) < 0) ::_exit(126);
    } else {
      ::close(STDOUT_FILENO);
    }
    std::vector<char*> raw;
    raw.reserve(argv.size() + 1);
    for (auto& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    ::execv(program.c_str(), raw.data());
    ::_exit(127);
  }
  ::close(inPipe[0]);
  ::close(outPipe[1]);
  in_ = inPipe[1];
  out_ = outPipe[0];
  ::signal(SIGPIPE, SIG_IGN);
}

AppProcess::~AppProcess() {
  kill();
  if (in_ >= 0) ::close(in_);
  if (out_ >= 0) ::close(out_);
}

void AppProcess::send(const std::string& line) {
  if (in_ < 0) return;
  const std::string text = line + "\n";
  [[maybe_unused]] const ssize_t n = ::write(in_, text.data(), text.size());
}

void AppProcess::closeInput() {
  if (in_ >= 0) ::close(in_);
  in_ = -1;
}

void AppProcess::closeOutput() {
  if (out_ >= 0) ::close(out_);
  out_ = -1;
}

bool AppProcess::readMore(std::chrono::milliseconds timeout) {
  pollfd p{out_, POLLIN, 0};
  const int ready = ::poll(&p, 1, static_cast<int>(timeout.count()));
  if (ready <= 0) return false;
  char buf[4096];
  const ssize_t n = ::read(out_, buf, sizeof buf);
  if (n <= 0) return false;
  buffer_.append(buf, static_cast<size_t>(n));
  size_t nl;
  while ((nl = buffer_.find('\n')) != std::string::npos) {
    lines_.push_back(buffer_.substr(0, nl));
    buffer_.erase(0, nl + 1);
  }
  return true;
}

std::optional<std::string> AppProcess::nextLine(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (next_ >= lines_.size()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return std::nullopt;
    if (!readMore(std::min(left, std::chrono::milliseconds(100))) && !running() &&
        !readMore(std::chrono::milliseconds(0))) {
      return std::nullopt;  // the process is gone and said everything
    }
  }
  return lines_[next_++];
}

bool AppProcess::waitForLine(const std::string& line, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    auto got = nextLine(left);
    if (!got) return false;
    if (*got == line) return true;
  }
}

bool AppProcess::sawLine(const std::string& line, std::chrono::milliseconds timeout) {
  if (count(line) > 0) return true;
  return waitForLine(line, timeout);
}

std::optional<std::string> AppProcess::waitForPrefix(const std::string& prefix,
                                                     std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return std::nullopt;
    auto got = nextLine(left);
    if (!got) return std::nullopt;
    if (got->rfind(prefix, 0) == 0) return got;
  }
}

void AppProcess::drain(std::chrono::milliseconds duration) {
  const auto deadline = Clock::now() + duration;
  while (Clock::now() < deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (!readMore(left)) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  next_ = lines_.size();
}

size_t AppProcess::unreadOutputBytes() const {
  int bytes = 0;
  if (out_ < 0 || ::ioctl(out_, FIONREAD, &bytes) != 0) return 0;
  return static_cast<size_t>(bytes);
}

size_t AppProcess::count(const std::string& line) const {
  size_t n = 0;
  for (const auto& l : lines_) n += l == line ? 1U : 0U;
  return n;
}

std::string AppProcess::stderrText() const {
  auto text = base::readFile(stderrPath_);
  return text ? *text : std::string();
}

bool AppProcess::waitForStderr(const std::string& text, std::chrono::milliseconds timeout,
                               size_t occurrence) const {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const std::string all = stderrText();
    size_t found = 0;
    for (size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) ++found;
    if (found >= occurrence) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

bool AppProcess::running() {
  if (status_ || pid_ <= 0) return false;
  int st = 0;
  const pid_t r = ::waitpid(pid_, &st, WNOHANG);
  if (r == pid_) {
    status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    if (WIFSIGNALED(st)) killedBy_ = WTERMSIG(st);
    return false;
  }
  return true;
}

std::optional<int> AppProcess::wait(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (running()) {
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return status_;
}

void AppProcess::kill() {
  if (running()) {
    ::kill(pid_, SIGKILL);
    wait(std::chrono::milliseconds(2000));
  }
}

}  // namespace testing_support
