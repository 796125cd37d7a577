#include "platform/ble/radio_socket.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/base/options.h"

namespace ble {
namespace {

namespace fs = std::filesystem;

// Sets or clears an environment variable for one test, then puts it back.
class EnvVar {
 public:
  EnvVar(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~EnvVar() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  EnvVar(const EnvVar&) = delete;
  EnvVar& operator=(const EnvVar&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(RadioPath, OptionThenEnvironmentThenRuntimeFolderThenTmp) {
  const std::string tmp = "/tmp/tovelin-" + std::to_string(::getuid()) + "/radio.sock";
  struct Case {
    std::optional<std::string> option;
    const char* radioEnv;
    const char* runtimeEnv;
    std::string expected;
  };
  const Case cases[] = {
      {"/a/opt.sock", "/b/env.sock", "/run/user/7", "/a/opt.sock"},
      {std::nullopt, "/b/env.sock", "/run/user/7", "/b/env.sock"},
      {std::nullopt, "", "/run/user/7", "/run/user/7/tovelin/radio.sock"},
      {std::nullopt, nullptr, "/run/user/7", "/run/user/7/tovelin/radio.sock"},
      {std::nullopt, nullptr, "", tmp},
      {std::nullopt, nullptr, "relative/dir", tmp},
      {std::nullopt, nullptr, nullptr, tmp},
  };
  for (const auto& c : cases) {
    base::platformOptions().radioPath = c.option;
    EnvVar radio("TOVELIN_RADIO", c.radioEnv);
    EnvVar runtime("XDG_RUNTIME_DIR", c.runtimeEnv);
    EXPECT_EQ(resolveRadioPath(), c.expected);
  }
  base::platformOptions().radioPath.reset();
}

class RadioSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "ble-socket-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data());
  }
  void TearDown() override {
    for (const int fd : fds_) ::close(fd);
    fs::remove_all(root_);
  }
  int expectSocket(const base::Result<int>& result) {
    if (!result) {
      ADD_FAILURE() << result.error().message;
      return -1;
    }
    fds_.push_back(*result);
    return fds_.back();
  }
  std::string expectError(const base::Result<int>& result) {
    if (result) {
      fds_.push_back(*result);
      ADD_FAILURE() << "expected a refusal";
      return {};
    }
    return result.error().message;
  }
  static mode_t modeOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode & 0777;
  }

  std::string root_;
  std::vector<int> fds_;
};

TEST_F(RadioSocketTest, CreatesAPrivateFolderAndSocket) {
  const std::string folder = root_ + "/tovelin";
  expectSocket(listenOnRadio(folder + "/radio.sock"));
  EXPECT_EQ(modeOf(folder), 0700u);
  EXPECT_EQ(modeOf(folder + "/radio.sock"), 0600u);
  EXPECT_TRUE(fs::is_socket(folder + "/radio.sock"));
  expectSocket(connectToRadio(folder + "/radio.sock"));
}

TEST_F(RadioSocketTest, ReplacesASocketLeftByAnEarlierRun) {
  const std::string path = root_ + "/radio.sock";
  const int old = expectSocket(listenOnRadio(path));
  ::close(old);  // the earlier run ended without removing its socket
  fds_.clear();
  ASSERT_TRUE(fs::is_socket(path));
  expectSocket(listenOnRadio(path));
  expectSocket(connectToRadio(path));
}

// Runs `check` in a child process that an alarm ends after `seconds`, so a
// call that blocks fails the test instead of hanging it. `check` returns what
// went wrong, or nothing.
void expectInChildWithin(unsigned seconds, const std::function<std::string()>& check) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::alarm(seconds);
    const std::string problem = check();
    if (!problem.empty()) std::fprintf(stderr, "%s\n", problem.c_str());
    ::_exit(problem.empty() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_FALSE(WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) << "the call blocked";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

// Fills the listen backlog of `listener` with connections nobody accepts, as
// with a program stopped in the middle of its run; returns them.
std::vector<int> fillBacklog(int listener, const std::string& path) {
  ::listen(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
  std::vector<int> waiting;
  for (;;) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      EXPECT_EQ(errno, EAGAIN) << std::strerror(errno);
      ::close(fd);
      return waiting;
    }
    waiting.push_back(fd);
    if (waiting.size() > 1000) {
      ADD_FAILURE() << "the backlog never filled";
      return waiting;
    }
  }
}

TEST_F(RadioSocketTest, RefusesASocketSomeoneStillListensOnEvenWhenItStoppedAccepting) {
  const std::string path = root_ + "/radio.sock";
  const int listener = expectSocket(listenOnRadio(path));
  EXPECT_NE(expectError(listenOnRadio(path)).find("already listening on " + path),
            std::string::npos);

  const std::vector<int> waiting = fillBacklog(listener, path);
  fds_.insert(fds_.end(), waiting.begin(), waiting.end());
  expectInChildWithin(5, [&]() -> std::string {
    auto result = listenOnRadio(path);
    if (result) return "a second listener was opened";
    if (result.error().message != "another program is already listening on " + path) {
      return result.error().message;
    }
    return {};
  });
  EXPECT_TRUE(fs::is_socket(path));
}

std::set<std::string> entriesOf(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

TEST_F(RadioSocketTest, RefusesASymlinkedFolderAndTouchesNothingBehindIt) {
  // A private folder of ours holding a socket left by an earlier run, which
  // the radio would replace if it went there.
  const std::string ours = root_ + "/ours";
  ASSERT_EQ(::mkdir(ours.c_str(), 0700), 0);
  ::close(expectSocket(listenOnRadio(ours + "/radio.sock")));
  fds_.clear();
  struct stat before {};
  ASSERT_EQ(::lstat((ours + "/radio.sock").c_str(), &before), 0);

  fs::create_directory_symlink(ours, root_ + "/planted");
  fs::create_directory_symlink(root_ + "/missing", root_ + "/dangling");
  for (const char* link : {"/planted", "/dangling"}) {
    const std::string folder = root_ + link;
    EXPECT_EQ(expectError(listenOnRadio(folder + "/radio.sock")),
              "the radio folder " + folder + " is a symbolic link; it must be a folder of its own");
  }
  EXPECT_EQ(entriesOf(ours), std::set<std::string>{"radio.sock"});
  struct stat after {};
  ASSERT_EQ(::lstat((ours + "/radio.sock").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino) << "the socket behind the link was replaced";
  EXPECT_FALSE(fs::exists(root_ + "/missing"));

  // The folder itself is still usable, and its stale socket replaced.
  expectSocket(listenOnRadio(ours + "/radio.sock"));
  expectSocket(connectToRadio(ours + "/radio.sock"));
}

TEST_F(RadioSocketTest, RefusesWhatIsNotASocketAndLeavesItAlone) {
  const std::string file = root_ + "/radio.sock";
  std::ofstream(file) << "data";
  EXPECT_NE(expectError(listenOnRadio(file)).find("not a socket"), std::string::npos);
  EXPECT_EQ(fs::file_size(file), 4u);
  fs::create_directory(root_ + "/dir.sock");
  EXPECT_NE(expectError(listenOnRadio(root_ + "/dir.sock")).find("not a socket"),
            std::string::npos);
}

TEST_F(RadioSocketTest, RefusesAFolderOpenToOthersOrNotAFolder) {
  const std::string open = root_ + "/open";
  fs::create_directory(open);
  ::chmod(open.c_str(), 0755);
  EXPECT_NE(expectError(listenOnRadio(open + "/radio.sock")).find("open to other users"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(open + "/radio.sock"));
  std::ofstream(root_ + "/plain") << "x";
  EXPECT_NE(expectError(listenOnRadio(root_ + "/plain/radio.sock")).find("is not a folder"),
            std::string::npos);
}

TEST_F(RadioSocketTest, RefusesAFolderOfAnotherUser) {
  // /tmp itself belongs to root and is open to all; either check refuses it.
  if (::geteuid() == 0) {
    const std::string other = root_ + "/other";
    fs::create_directory(other);
    ::chmod(other.c_str(), 0700);
    ASSERT_EQ(::chown(other.c_str(), 12345, 12345), 0);
    EXPECT_NE(expectError(listenOnRadio(other + "/radio.sock")).find("belongs to another user"),
              std::string::npos);
  } else {
    EXPECT_FALSE(expectError(listenOnRadio("/tmp/radio-test.sock")).empty());
  }
}

TEST_F(RadioSocketTest, RefusesAPathTooLongForASocket) {
  EXPECT_NE(expectError(listenOnRadio(root_ + "/" + std::string(120, 'x'))).find("too long"),
            std::string::npos);
  EXPECT_NE(expectError(connectToRadio(root_ + "/missing.sock")).find("cannot reach"),
            std::string::npos);
}

// A fresh private folder right in /tmp, removed with what it holds. Its path
// is shorter than /proc/self/fd/N, so a name that fills an address after it
// would not fit after that prefix.
class ShortFolder {
 public:
  ShortFolder() {
    std::string pattern = "/tmp/rsXXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ShortFolder() {
    if (!path_.empty()) fs::remove_all(path_);
  }
  ShortFolder(const ShortFolder&) = delete;
  ShortFolder& operator=(const ShortFolder&) = delete;
  [[nodiscard]] const std::string& path() const { return path_; }

 private:
  std::string path_;
};

TEST_F(RadioSocketTest, ListensOnAPathThatFillsAnAddress) {
  const ShortFolder folder;
  ASSERT_FALSE(folder.path().empty()) << std::strerror(errno);
  constexpr std::size_t kLongest = sizeof(sockaddr_un::sun_path) - 1;
  const std::string path =
      folder.path() + "/" + std::string(kLongest - folder.path().size() - 1, 'r');
  ASSERT_EQ(path.size(), kLongest);
  expectSocket(listenOnRadio(path));
  EXPECT_EQ(modeOf(path), 0600u);
  expectSocket(connectToRadio(path));

  // One byte more no longer fits, nor does a path that names no file.
  EXPECT_NE(expectError(listenOnRadio(path + "r")).find("too long"), std::string::npos);
  EXPECT_EQ(expectError(listenOnRadio(folder.path() + "/")),
            "the radio path \"" + folder.path() + "/\" is empty or too long");
}

// Hides /proc from this (child) process, as in a minimal container or chroot:
// a mount namespace of its own with an empty tmpfs over /proc. Returns what
// stopped it, or nothing.
std::string hideProc() {
  if (::unshare(CLONE_NEWNS) != 0) return std::string("unshare: ") + std::strerror(errno);
  if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    return std::string("making the mounts private: ") + std::strerror(errno);
  }
  if (::mount("none", "/proc", "tmpfs", 0, nullptr) != 0) {
    return std::string("mounting over /proc: ") + std::strerror(errno);
  }
  return {};
}

// Listens, replaces the socket once its listener is gone, refuses one with a
// listener; returns what went wrong, or nothing.
std::string listenReplaceAndRefuse(const std::string& path) {
  auto first = listenOnRadio(path);
  if (!first) return "listening: " + first.error().message;
  auto phone = connectToRadio(path);
  if (!phone) return phone.error().message;
  ::close(*phone);
  ::close(*first);
  auto second = listenOnRadio(path);
  if (!second) return "replacing the old socket: " + second.error().message;
  phone = connectToRadio(path);
  if (!phone) return "after the replacement: " + phone.error().message;
  auto third = listenOnRadio(path);
  if (third) return "a second listener was opened";
  if (third.error().message != "another program is already listening on " + path) {
    return third.error().message;
  }
  return {};
}

TEST_F(RadioSocketTest, ListensReplacesAndRefusesWithoutProc) {
  constexpr int kCannotHide = 77;
  int report[2];
  ASSERT_EQ(::pipe2(report, O_CLOEXEC), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(report[0]);
    ::alarm(10);
    const std::string refused = hideProc();
    std::string problem = refused;
    if (refused.empty()) {
      problem = ::access("/proc/self", F_OK) == 0
                    ? "/proc/self is still there"
                    : listenReplaceAndRefuse(root_ + "/tovelin/radio.sock");
    }
    [[maybe_unused]] const ssize_t n = ::write(report[1], problem.data(), problem.size());
    ::_exit(!refused.empty() ? kCannotHide : problem.empty() ? 0 : 1);
  }
  ::close(report[1]);
  std::string said;
  char buffer[256];
  ssize_t n = 0;
  while ((n = ::read(report[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
    if (n > 0) said.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(report[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  if (WIFEXITED(status) && WEXITSTATUS(status) == kCannotHide) {
    GTEST_SKIP() << "cannot hide /proc here: " << said;
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << said << " (status " << status << ")";
}

// A parent that ignores SIGCHLD passes that on through exec, and the kernel
// then reaps the helper processes itself. In a child of its own, so that this
// process's disposition stays as it is.
TEST_F(RadioSocketTest, ListensReplacesAndRefusesWithSigchldIgnored) {
  const std::string path = root_ + "/tovelin/radio.sock";
  expectInChildWithin(10, [&]() -> std::string {
    if (::signal(SIGCHLD, SIG_IGN) == SIG_ERR) return "cannot ignore SIGCHLD";
    return listenReplaceAndRefuse(path);
  });
}

}  // namespace
}  // namespace ble
