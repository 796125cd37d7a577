#include "platform/base/child_exit_watch.h"

#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <utility>

namespace base {

ChildExitWatch::ChildExitWatch(RunLoop& loop, pid_t child, Ended ended)
    : child_(child), ended_(std::move(ended)) {
  // The pidfd (close-on-exec) becomes readable when the child ends.
  const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
  if (pidfd >= 0) {
    pidfd_.emplace(pidfd);
    watch_ = loop.watchFd(pidfd, POLLIN, [this](short /*revents*/) { check(); });
  } else {
    watch_ = loop.addTimer(std::chrono::seconds(1), true, [this] { check(); });
  }
}

void ChildExitWatch::check() {
  int status = 0;
  pid_t reaped = 0;
  while ((reaped = ::waitpid(child_, &status, WNOHANG)) < 0 && errno == EINTR) {
  }
  if (reaped == 0) return;  // still running
  watch_.reset();
  pidfd_.reset();
  if (reaped == child_ && ended_) std::exchange(ended_, nullptr)(status);
}

}  // namespace base
