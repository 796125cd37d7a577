// Bytes from a stream cut into lines, with a bound on the length of a line.
//
// Everything that reads lines from another program (the radio's phone
// connections, the console, the phone simulator's commands) feeds the bytes
// it reads here. A line is what comes before a line feed; the line feed is not
// part of it. A line longer than the bound is never held: the handler hears
// of it once, and the rest of it, up to its line feed, is skipped. What the
// owner does about it (close the connection, print a note) is its own choice.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace base {

class LineSplitter {
 public:
  // Return false to stop: the bytes not yet looked at are dropped.
  using LineHandler = std::function<bool(std::string line)>;
  using OverlongHandler = std::function<bool()>;

  explicit LineSplitter(size_t maxLine) : maxLine_(maxLine) {}

  // Cuts `bytes` into lines. Returns false when a handler asked to stop.
  bool feed(std::string_view bytes, const LineHandler& onLine, const OverlongHandler& onOverlong);

  // At the end of the input: the last line when it had no line feed (and was
  // not too long). Leaves the splitter empty.
  std::optional<std::string> finish();

  void clear();
  [[nodiscard]] size_t pendingBytes() const { return partial_.size(); }

 private:
  size_t maxLine_;
  std::string partial_;
  bool skipping_ = false;  // inside a line that is too long
};

}  // namespace base
