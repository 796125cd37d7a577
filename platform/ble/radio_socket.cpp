#include "platform/ble/radio_socket.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "platform/base/options.h"
#include "platform/base/unique_fd.h"

namespace ble {
namespace {

std::string errnoText() { return std::strerror(errno); }

std::string nonEmptyEnv(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

std::string parentOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The folder must be ours and closed to everyone else: another user who can
// write there could swap the socket for their own. Its last component may not
// be a symbolic link: in a shared folder such as /tmp another user could plant
// one pointing into a folder of ours, and the checks would pass on our folder
// while the path stays theirs to change. The folders above it are trusted as
// the user chose them. The folder is opened without following a link (O_PATH
// needs no read permission, so another user's folder is still told apart),
// the checks are made on that descriptor, and everything after goes through it.
base::Result<base::UniqueFd> openFolder(const std::string& folder) {
  constexpr int kFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  int fd = ::open(folder.c_str(), kFlags);
  if (fd < 0 && errno == ENOENT) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
      return base::fail("cannot create the radio folder " + folder + ": " + errnoText());
    }
    fd = ::open(folder.c_str(), kFlags);
  }
  if (fd < 0) {
    const int error = errno;
    struct stat st {};
    // O_NOFOLLOW|O_DIRECTORY refuses a link with ENOTDIR: tell it apart.
    if (error == ENOTDIR && ::lstat(folder.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      return base::fail("the radio folder " + folder +
                        " is a symbolic link; it must be a folder of its own");
    }
    if (error == ENOTDIR) return base::fail("the radio folder " + folder + " is not a folder");
    return base::fail("cannot inspect the radio folder " + folder + ": " + std::strerror(error));
  }
  base::UniqueFd opened(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    return base::fail("cannot inspect the radio folder " + folder + ": " + errnoText());
  }
  if (!S_ISDIR(st.st_mode)) return base::fail("the radio folder " + folder + " is not a folder");
  if (st.st_uid != ::geteuid()) {
    return base::fail("the radio folder " + folder + " belongs to another user");
  }
  if ((st.st_mode & 077) != 0) {
    return base::fail("the radio folder " + folder +
                      " is open to other users (it must be mode 0700)");
  }
  return opened;
}

bool fillAddress(const std::string& path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  return true;
}

// ::bind or ::connect.
using SocketCall = int (*)(int, const sockaddr*, socklen_t);

// Makes `call` on socket `fd` with `address`, a bare name inside `folder`, and
// returns 0 or the call's errno. Bind and connect resolve a relative name from
// the working directory, which the whole process shares, so a short-lived
// child enters the folder by its descriptor and makes the call there; it
// shares the socket with this process, so the bind or connection is ours.
// This needs no /proc, and never moves this process's working directory or
// umask while other threads (the GPU driver's) run. The child allocates
// nothing and makes only async-signal-safe calls, as after fork it must.
// It reports its errno through a pipe: its exit status cannot be relied on,
// since under an inherited SIG_IGN for SIGCHLD the kernel reaps it itself
// and waitpid finds no child (ECHILD).
base::Result<int> callInFolder(const base::UniqueFd& folder, SocketCall call, int fd,
                               const sockaddr_un& address) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    return base::fail("cannot open a pipe to a helper process: " + errnoText());
  }
  const base::UniqueFd resultIn(ends[0]);
  std::optional<base::UniqueFd> resultOut(std::in_place, ends[1]);
  const pid_t child = ::fork();
  if (child < 0) return base::fail("cannot start a helper process: " + errnoText());
  if (child == 0) {
    // The socket file takes its mode from the umask at bind time; narrow it
    // so the file is never open to others, even for a moment.
    ::umask(0177);
    const bool done = ::fchdir(folder.get()) == 0 &&
                      call(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    const int error = done ? 0 : errno;
    // Fewer than PIPE_BUF bytes into an empty pipe: written whole or not at all.
    const bool told = ::write(resultOut->get(), &error, sizeof error) == sizeof error;
    ::_exit(told ? 0 : 1);
  }
  resultOut.reset();  // so that the read below ends when the child does
  int status = 0;
  pid_t waited = 0;
  while ((waited = ::waitpid(child, &status, 0)) < 0 && errno == EINTR) {
  }
  const int waitError = errno;
  int error = 0;
  ssize_t got = 0;
  while ((got = ::read(resultIn.get(), &error, sizeof error)) < 0 && errno == EINTR) {
  }
  if (got == sizeof error) return error;
  if (waited < 0) {
    return base::fail("cannot wait for its helper process: " +
                      std::string(std::strerror(waitError)));
  }
  if (WIFSIGNALED(status)) {
    return base::fail("its helper process was ended by signal " + std::to_string(WTERMSIG(status)));
  }
  return base::fail("its helper process ended with status " + std::to_string(status) +
                    " without a result");
}

// Whether socket `fd` has been bound to a name.
bool isBound(int fd) {
  sockaddr_un address{};
  socklen_t size = sizeof address;
  return ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0 &&
         size > offsetof(sockaddr_un, sun_path) && address.sun_path[0] != '\0';
}

// Whether a program listens on the socket `address` names in `folder`. The
// probe never waits: a listener that stopped accepting (a stopped process
// whose backlog is full) answers EAGAIN, which means it is there all the same.
base::Result<bool> someoneListens(const base::UniqueFd& folder, const sockaddr_un& address,
                                  const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return base::fail("cannot open a socket: " + errnoText());
  auto connected = callInFolder(folder, ::connect, fd, address);
  ::close(fd);
  if (!connected) {
    return base::fail("cannot tell whether a program listens on " + path + ": " +
                      connected.error().message);
  }
  const int error = *connected;
  if (error == 0 || error == EAGAIN || error == EINPROGRESS) return true;
  if (error == ECONNREFUSED) return false;
  return base::fail("cannot tell whether a program listens on " + path + ": " +
                    std::strerror(error));
}

}  // namespace

std::string resolveRadioPath() {
  if (const auto& option = base::platformOptions().radioPath; option && !option->empty()) {
    return *option;
  }
  if (auto env = nonEmptyEnv("TOVELIN_RADIO"); !env.empty()) return env;
  if (auto runtime = nonEmptyEnv("XDG_RUNTIME_DIR"); !runtime.empty() && runtime[0] == '/') {
    return runtime + "/tovelin/radio.sock";
  }
  return "/tmp/tovelin-" + std::to_string(::getuid()) + "/radio.sock";
}

base::Result<int> listenOnRadio(const std::string& path) {
  // Phones connect by the full path, so it must fit in an address; here the
  // socket is bound and probed by its bare name inside the folder. A path
  // that ends in '/' names no file (and an empty name would be bound in the
  // abstract namespace instead).
  sockaddr_un address{};
  const std::string name = baseNameOf(path);
  if (!fillAddress(path, address) || !fillAddress(name, address))
    return base::fail("the radio path \"" + path + "\" is empty or too long");
  auto folder = openFolder(parentOf(path));
  if (!folder) return folder.error();

  struct stat st {};
  if (::fstatat(folder->get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (!S_ISSOCK(st.st_mode)) {
      return base::fail("the radio path " + path + " is not a socket; it is left alone");
    }
    auto listens = someoneListens(*folder, address, path);
    if (!listens) return listens.error();
    if (*listens) return base::fail("another program is already listening on " + path);
    if (::unlinkat(folder->get(), name.c_str(), 0) != 0) {
      return base::fail("cannot replace the old radio socket " + path + ": " + errnoText());
    }
  } else if (errno != ENOENT) {
    return base::fail("cannot inspect the radio path " + path + ": " + errnoText());
  }

  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return base::fail("cannot open a socket: " + errnoText());
  auto bound = callInFolder(*folder, ::bind, fd, address);
  if (!bound || *bound != 0) {
    // A helper that failed after it bound leaves the socket file behind,
    // and the next start would find it.
    if (!bound && isBound(fd)) ::unlinkat(folder->get(), name.c_str(), 0);
    ::close(fd);
    return base::fail("cannot bind the radio socket " + path + ": " +
                      (bound ? std::strerror(*bound) : bound.error().message));
  }
  ::fchmodat(folder->get(), name.c_str(), 0600, 0);
  if (::listen(fd, 16) != 0) {
    const std::string error = "cannot listen on " + path + ": " + errnoText();
    ::close(fd);
    ::unlinkat(folder->get(), name.c_str(), 0);
    return base::fail(error);
  }
  return fd;
}

base::Result<int> connectToRadio(const std::string& path) {
  sockaddr_un address{};
  if (!fillAddress(path, address))
    return base::fail("the radio path \"" + path + "\" is empty or too long");
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return base::fail("cannot open a socket: " + errnoText());
  int result = 0;
  do {
    result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (result != 0 && errno == EINTR);
  if (result != 0 && errno == EISCONN) result = 0;  // an interrupted connect that went through
  if (result != 0) {
    const std::string error = "cannot reach the radio at " + path + ": " + errnoText();
    ::close(fd);
    return base::fail(error);
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  return fd;
}

}  // namespace ble
