#include "platform/ui/workspace.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/base/log.h"
#include "platform/base/options.h"
#include "platform/base/result.h"

namespace ui {
namespace {

bool isExecutable(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::optional<std::string> findOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return std::nullopt;
  std::istringstream dirs(path);
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (dir.empty()) continue;
    std::string candidate = dir;
    candidate += "/";
    candidate += program;
    if (isExecutable(candidate)) return candidate;
  }
  return std::nullopt;
}

// Starts argv in a session of its own. Returns the child, or why it could
// not start (the system's message); exec failures come back through a pipe
// that closes on a successful exec. The child is not waited for here: its
// end is heard from the run loop.
base::Result<pid_t> spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return base::fail(std::strerror(errno));
  const pid_t child = ::fork();
  if (child < 0) {
    const int e = errno;
    ::close(report[0]);
    ::close(report[1]);
    return base::fail(std::strerror(e));
  }
  if (child == 0) {
    ::close(report[0]);
    ::setsid();
    // An ignored signal stays ignored across exec: give the browser the
    // default SIGPIPE this program set aside for itself.
    ::signal(SIGPIPE, SIG_DFL);
    // Standard output carries only the system's diagnostics: whatever the
    // command prints goes to standard error; it reads nothing.
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (devNull >= 0) ::dup2(devNull, STDIN_FILENO);
    ::execvp(argv[0], argv.data());
    const int e = errno;
    [[maybe_unused]] const ssize_t n = ::write(report[1], &e, sizeof e);
    ::_exit(127);
  }
  ::close(report[1]);
  int error = 0;
  ssize_t n = 0;
  while ((n = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
  }
  ::close(report[0]);
  if (n != static_cast<ssize_t>(sizeof error)) return child;
  // The child exits at once after its report.
  while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
  return base::fail(std::strerror(error));
}

// One line when the command failed: it exited with a status other than 0 or
// was ended by a signal.
void reportEnd(int status, const std::string& program, const std::string& url) {
  if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
    base::printError("open URL: " + program + " exited with status " +
                     std::to_string(WEXITSTATUS(status)) + " for " + url);
  } else if (WIFSIGNALED(status)) {
    base::printError("open URL: " + program + " was killed by signal " +
                     std::to_string(WTERMSIG(status)) + " for " + url);
  }
}

}  // namespace

Workspace& Workspace::shared() {
  // Made first, the loop is destroyed last: the watches of running commands
  // cancel themselves on it.
  (void)base::RunLoop::main();
  static Workspace workspace;
  return workspace;
}

std::vector<std::string> Workspace::commandFor(const base::URL& url) {
  std::vector<std::string> args;
  if (const auto& command = base::platformOptions().openUrlCommand) {
    std::istringstream words(*command);
    std::string word;
    while (words >> word) args.push_back(word);
  } else if (auto xdg = findOnPath("xdg-open")) {
    args.push_back(*xdg);
  }
  if (!args.empty()) args.push_back(url.absoluteString());
  return args;
}

bool Workspace::openURL(const base::URL& url) {
  lastOpened_ = url;
  const auto args = commandFor(url);
  if (args.empty()) {
    base::printError("open URL: " + url.absoluteString());
    return false;
  }
  const auto started = spawn(args);
  if (!started) {
    base::printError("open URL: cannot run " + args.front() + " (" + started.error().message +
                     ") for " + url.absoluteString());
    return false;
  }
  std::erase_if(running_, [](const auto& watch) { return !watch->active(); });
  running_.push_back(std::make_unique<base::ChildExitWatch>(
      base::RunLoop::main(), *started,
      [program = args.front(), address = url.absoluteString()](int status) {
        reportEnd(status, program, address);
      }));
  return true;
}

}  // namespace ui
