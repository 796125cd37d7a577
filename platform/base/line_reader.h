// Lines read from a descriptor through the main run loop.
//
// The console and the phone simulator read their commands this way: each
// wake-up makes one read (so a terminal shared with the shell is never left
// waiting or switched to non-blocking), the bytes are cut by a LineSplitter,
// and every whole line goes to the handler. A line over the bound is skipped
// and reported once; at the end of the input a last line without a line feed
// still counts. The reader may be paused (no reads, nothing lost) when its
// owner has enough lines waiting.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "platform/base/line_splitter.h"
#include "platform/base/run_loop.h"

namespace base {

class LineReader : public std::enable_shared_from_this<LineReader> {
 public:
  struct Handlers {
    std::function<void(std::string line)> line;
    std::function<void()> overlong;
    // The input ended: `why` is empty at end of file, or says what failed.
    std::function<void(const std::string& why)> end;
  };

  // Starts reading `fd`, which stays owned by the caller.
  static std::shared_ptr<LineReader> watch(int fd, size_t maxLine, Handlers handlers);

  // Stops reading until resume(); lines already read are still delivered.
  void pause();
  void resume();
  // Stops for good; from inside a handler, the rest of the last read is dropped.
  void stop();

  [[nodiscard]] bool ended() const { return ended_; }
  [[nodiscard]] bool reading() const { return watch_.active(); }

  LineReader(int fd, size_t maxLine, Handlers handlers);

 private:
  void readOnce(short revents);
  void end(const std::string& why);

  int fd_;
  LineSplitter splitter_;
  Handlers handlers_;
  Handle watch_;
  bool ended_ = false;
  bool stopped_ = false;
};

}  // namespace base
