// A file descriptor owned by one object and closed with it, so that no
// return path leaks it.
#pragma once

#include <unistd.h>

#include <utility>

namespace base {

class UniqueFd {
 public:
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&&) = delete;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  // The descriptor, or a negative number when the open that made it failed.
  [[nodiscard]] int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace base
