#include "platform/base/log.h"

#include <unistd.h>

#include <cerrno>
#include <string>

namespace base {
namespace {

void writeAll(int fd, std::string_view line) {
  std::string text;
  text.reserve(line.size() + 1);
  text.append(line);
  text.push_back('\n');
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;  // nowhere left to report it
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
}

}  // namespace

void printLine(std::string_view line) { writeAll(STDOUT_FILENO, line); }

void printError(std::string_view line) { writeAll(STDERR_FILENO, line); }

}  // namespace base
