// Runs the application as a person would: its own process, the platform
// options on its command line, console commands on its standard input, and
// its diagnostic lines read back from standard output.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// Where the program's standard output goes: the pipe AppProcess reads back,
// a file (such as /dev/full), or nowhere (descriptor 1 closed, as `>&-`
// leaves it).
struct StandardOutput {
  enum class To { pipe, file, closed } to = To::pipe;
  std::string path;  // for a file
};

// What the program inherits from its parent beyond its descriptors.
struct Inherited {
  bool childSignalIgnored = false;  // SIGCHLD set to SIG_IGN, which exec keeps
};

class AppProcess {
 public:
  // Starts `program` with `args`. Standard error is written to `stderrPath`.
  AppProcess(const std::string& program, const std::vector<std::string>& args,
             const std::string& stderrPath, const StandardOutput& output = {},
             const Inherited& inherited = {});
  AppProcess(const AppProcess&) = delete;
  AppProcess& operator=(const AppProcess&) = delete;
  ~AppProcess();

  // Sends one console line.
  void send(const std::string& line);
  // Closes standard input (end of input).
  void closeInput();
  // Closes the reading end of standard output, as a reader that has had
  // enough does.
  void closeOutput();

  // The next diagnostic line, or none when none came in time.
  std::optional<std::string> nextLine(std::chrono::milliseconds timeout);
  // Reads lines until one equals `line`; returns false on time-out. Every line
  // read is kept in lines().
  bool waitForLine(const std::string& line, std::chrono::milliseconds timeout);
  // True when `line` was read before or arrives within `timeout`, whatever
  // came in between.
  bool sawLine(const std::string& line, std::chrono::milliseconds timeout);
  // Reads lines until one starts with `prefix`; returns it.
  std::optional<std::string> waitForPrefix(const std::string& prefix,
                                           std::chrono::milliseconds timeout);
  // Reads whatever lines arrive within `duration`.
  void drain(std::chrono::milliseconds duration);

  // Bytes of standard output written and not read yet.
  [[nodiscard]] size_t unreadOutputBytes() const;

  [[nodiscard]] const std::vector<std::string>& lines() const { return lines_; }
  [[nodiscard]] size_t count(const std::string& line) const;
  [[nodiscard]] std::string stderrText() const;
  // Waits until standard error holds `text` `occurrence` times.
  bool waitForStderr(const std::string& text, std::chrono::milliseconds timeout,
                     size_t occurrence = 1) const;

  // Waits for the process to end; returns its exit status (128 plus the
  // signal's number when a signal killed it), or none on time-out.
  std::optional<int> wait(std::chrono::milliseconds timeout);
  // The signal that killed the process, once it has ended by one.
  [[nodiscard]] std::optional<int> killedBy() const { return killedBy_; }
  [[nodiscard]] bool running();
  [[nodiscard]] pid_t pid() const { return pid_; }
  void kill();

 private:
  bool readMore(std::chrono::milliseconds timeout);

  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  std::string buffer_;
  std::vector<std::string> lines_;
  size_t next_ = 0;
  std::string stderrPath_;
  std::optional<int> status_;
  std::optional<int> killedBy_;
};

}  // namespace testing_support
