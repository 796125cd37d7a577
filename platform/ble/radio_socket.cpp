#include "platform/ble/radio_socket.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/base/options.h"

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

// The folder must be ours and closed to everyone else: another user who can
// write there could swap the socket for their own.
base::Result<void> checkFolder(const std::string& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) {
    if (errno != ENOENT)
      return base::fail("cannot inspect the radio folder " + folder + ": " + errnoText());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
      return base::fail("cannot create the radio folder " + folder + ": " + errnoText());
    }
    if (::stat(folder.c_str(), &st) != 0) {
      return base::fail("cannot inspect the radio folder " + folder + ": " + errnoText());
    }
  }
  if (!S_ISDIR(st.st_mode)) return base::fail("the radio folder " + folder + " is not a folder");
  if (st.st_uid != ::geteuid()) {
    return base::fail("the radio folder " + folder + " belongs to another user");
  }
  if ((st.st_mode & 077) != 0) {
    return base::fail("the radio folder " + folder +
                      " is open to other users (it must be mode 0700)");
  }
  return base::ok();
}

bool fillAddress(const std::string& path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  return true;
}

bool someoneListens(const sockaddr_un& address) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool answered =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return answered;
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
  sockaddr_un address{};
  if (!fillAddress(path, address))
    return base::fail("the radio path \"" + path + "\" is empty or too long");
  if (auto folder = checkFolder(parentOf(path)); !folder) return folder.error();

  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) {
      return base::fail("the radio path " + path + " is not a socket; it is left alone");
    }
    if (someoneListens(address))
      return base::fail("another program is already listening on " + path);
    if (::unlink(path.c_str()) != 0) {
      return base::fail("cannot replace the old radio socket " + path + ": " + errnoText());
    }
  } else if (errno != ENOENT) {
    return base::fail("cannot inspect the radio path " + path + ": " + errnoText());
  }

  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return base::fail("cannot open a socket: " + errnoText());
  // The socket file takes its mode from the umask at bind time; narrow it so
  // the file is never open to others, even for a moment.
  const mode_t previous = ::umask(0177);
  const int bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  const int bindErrno = errno;
  ::umask(previous);
  if (bound != 0) {
    ::close(fd);
    errno = bindErrno;
    return base::fail("cannot bind the radio socket " + path + ": " + errnoText());
  }
  ::chmod(path.c_str(), 0600);
  if (::listen(fd, 16) != 0) {
    const std::string error = "cannot listen on " + path + ": " + errnoText();
    ::close(fd);
    ::unlink(path.c_str());
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
