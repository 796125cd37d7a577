#include "platform/base/line_splitter.h"

#include <utility>

namespace base {

bool LineSplitter::feed(std::string_view bytes, const LineHandler& onLine,
                        const OverlongHandler& onOverlong) {
  while (!bytes.empty()) {
    const size_t end = bytes.find('\n');
    const std::string_view piece = bytes.substr(0, end);
    if (!skipping_) {
      if (partial_.size() + piece.size() > maxLine_) {
        partial_.clear();
        skipping_ = true;
        if (!onOverlong()) return false;
      } else {
        partial_.append(piece);
      }
    }
    if (end == std::string_view::npos) return true;
    bytes.remove_prefix(end + 1);
    if (skipping_) {
      skipping_ = false;
      continue;
    }
    if (!onLine(std::exchange(partial_, {}))) return false;
  }
  return true;
}

std::optional<std::string> LineSplitter::finish() {
  const bool whole = !skipping_ && !partial_.empty();
  std::string last = std::exchange(partial_, {});
  skipping_ = false;
  if (!whole) return std::nullopt;
  return last;
}

void LineSplitter::clear() {
  partial_.clear();
  skipping_ = false;
}

}  // namespace base
