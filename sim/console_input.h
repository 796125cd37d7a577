// Lines typed (or piped) on a file descriptor, delivered through the run loop.
//
// The phone simulator reads its commands this way. A line longer than the
// limit is skipped with a note; end of input just stops the reading, so a
// simulator started without a terminal keeps running.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/base/run_loop.h"

namespace sim {

class ConsoleInput : public std::enable_shared_from_this<ConsoleInput> {
 public:
  static constexpr size_t kMaxLine = 4096;
  using LineHandler = std::function<void(const std::string& line)>;

  // Does not take ownership of `fd`.
  static std::shared_ptr<ConsoleInput> watch(int fd, LineHandler onLine);
  [[nodiscard]] bool open() const { return watch_.active(); }

 private:
  ConsoleInput(int fd, LineHandler onLine) : fd_(fd), onLine_(std::move(onLine)) {}
  void readAvailable();

  int fd_;
  LineHandler onLine_;
  std::string pending_;
  bool skipping_ = false;  // inside an overlong line
  base::Handle watch_;
};

}  // namespace sim
