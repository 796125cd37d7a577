// Runs a check as a user that is not root, for tests of what such a user may
// not do (root may write anything): this user when it is not root, else
// nobody (65534), made the owner of the test's folder.
#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>

namespace base {

inline constexpr uid_t kNobody = 65534;

// Runs `check` in a child process as that user, with `folder` its own. The
// child's exit status (`check`'s result; -1 when it did not exit), or none
// when no such user can be had here.
inline std::optional<int> exitStatusAsNonRoot(const std::string& folder,
                                              const std::function<int()>& check) {
  constexpr int kNoSuchUser = 77;
  if (::geteuid() == 0 && ::chown(folder.c_str(), kNobody, kNobody) != 0) return std::nullopt;
  const pid_t child = ::fork();
  if (child < 0) return std::nullopt;
  if (child == 0) {
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
      ::_exit(kNoSuchUser);
    }
    if (::access(folder.c_str(), R_OK | W_OK | X_OK) != 0) ::_exit(kNoSuchUser);
    ::_exit(check());
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  if (WEXITSTATUS(status) == kNoSuchUser) return std::nullopt;
  return WEXITSTATUS(status);
}

}  // namespace base
