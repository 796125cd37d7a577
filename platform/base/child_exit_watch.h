// Hears from the run loop when a child process of ours ends, and reaps it,
// without ever waiting for it.
//
// The child's pidfd is watched, so nothing runs while it lives; where a pidfd
// cannot be had (an old kernel, no descriptor left) the child is looked at
// once a second instead. When SIGCHLD is ignored the kernel reaps the child
// itself and its status is lost: the watch then ends without a call.
#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>

#include "platform/base/run_loop.h"
#include "platform/base/unique_fd.h"

namespace base {

class ChildExitWatch {
 public:
  // `ended` gets the child's wait status (as from waitpid) once, on the loop.
  using Ended = std::function<void(int status)>;

  ChildExitWatch(RunLoop& loop, pid_t child, Ended ended);
  ChildExitWatch(const ChildExitWatch&) = delete;
  ChildExitWatch& operator=(const ChildExitWatch&) = delete;

  // False once the child has ended and been reaped.
  [[nodiscard]] bool active() const { return watch_.active(); }

 private:
  void check();

  pid_t child_;
  std::optional<UniqueFd> pidfd_;
  Handle watch_;
  Ended ended_;
};

}  // namespace base
