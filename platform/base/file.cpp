#include "platform/base/file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/base/unique_fd.h"

namespace base {
namespace {

std::string describe(const std::string& path, const std::string& what) {
  return path + ": " + what;
}

std::string errnoText() { return std::strerror(errno); }

const char* kindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "not a regular file";
}

// Why the existing `path`, of type `mode`, is not replaced.
Error refusal(const std::string& path, mode_t mode) {
  return fail(describe(
      path, std::string("is ") + kindOf(mode) + ", not a regular file, so it is left as it is"));
}

// The process's umask. It is read from /proc, which leaves it as it is:
// setting it to read it would, for that moment, give the files that other
// threads (the GPU driver's) create a mode open to everyone. Only without
// /proc is it read by setting it and putting it back.
mode_t creationMask() {
  if (auto status = readFile("/proc/self/status")) {
    const auto at = status->find("\nUmask:");
    if (at != std::string::npos) {
      return static_cast<mode_t>(std::strtoul(status->c_str() + at + 7, nullptr, 8));
    }
  }
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

// The mode the file written at `target` gets, or the refusal of the file it
// would replace.
Result<mode_t> modeOfWrite(const std::string& target, const std::string& path, mode_t mode,
                           Replacing replacing) {
  if (replacing == Replacing::withMode) return mode;
  struct stat st {};
  if (::stat(target.c_str(), &st) != 0) {
    if (errno != ENOENT) return fail(describe(path, "cannot be written (" + errnoText() + ")"));
    // A new file, made as any program makes one.
    return mode & ~creationMask() & 0777;
  }
  // Not the folder's permission but the file's decides, as for cp: the
  // rename alone would replace a file its owner made read-only.
  if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 &&
      (errno == EACCES || errno == EPERM || errno == EROFS)) {
    return fail(describe(
        path, "may not be written by this user (" + errnoText() + "), so it is left as it is"));
  }
  // Set-user and set-group bits are not carried over to new contents, as a
  // write to the file would drop them.
  return st.st_mode & 0777;
}

// Renames the written `temp` onto `target` (what `path` names), looking at
// the target once more just before: it may have changed since it was
// examined. A target that is still absent is created only if nothing
// appeared there meanwhile.
Result<void> placeOnto(const std::string& temp, const std::string& target,
                       const std::string& path) {
  struct stat st {};
  if (::lstat(target.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return refusal(path, st.st_mode);
    if (::rename(temp.c_str(), target.c_str()) == 0) return ok();
  } else if (errno == ENOENT) {
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
      return ok();
    }
    // File systems without RENAME_NOREPLACE get the plain rename.
    if ((errno == EINVAL || errno == ENOSYS) && ::rename(temp.c_str(), target.c_str()) == 0) {
      return ok();
    }
  }
  return fail(describe(path, "cannot be written (" + errnoText() + ")"));
}

// Removes our regular files "<name>.tmp-XXXXXX" in the folder of `path`.
size_t removeLeftoversBeside(const std::string& path) {
  const std::string folder = folderOf(path);
  const auto slash = path.rfind('/');
  const std::string prefix =
      (slash == std::string::npos ? path : path.substr(slash + 1)) + std::string(kTemporarySuffix);
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return 0;
  size_t removed = 0;
  const uid_t me = ::geteuid();
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view entryName = entry->d_name;
    if (entryName.size() != prefix.size() + 6 || entryName.substr(0, prefix.size()) != prefix) {
      continue;
    }
    struct stat st {};
    if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(st.st_mode) || st.st_uid != me) continue;
    if (::unlinkat(::dirfd(dir), entry->d_name, 0) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

}  // namespace

std::string folderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

Result<std::optional<std::string>> readFileIfExists(const std::string& path, size_t maxBytes) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer. The type is checked
  // on the open descriptor, so a swap of the path in between changes nothing.
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.get() < 0) {
    if (errno == ENOENT) return std::optional<std::string>();
    return fail(describe(path, "cannot be opened (" + errnoText() + ")"));
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0)
    return fail(describe(path, "cannot be read (" + errnoText() + ")"));
  if (!S_ISREG(st.st_mode)) return fail(describe(path, std::string("is ") + kindOf(st.st_mode)));
  if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
    return fail(describe(path, "is larger than " + std::to_string(maxBytes) + " bytes"));
  }
  std::string text;
  text.reserve(static_cast<size_t>(st.st_size));
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(describe(path, "cannot be read (" + errnoText() + ")"));
    }
    if (n == 0) break;
    if (text.size() + static_cast<size_t>(n) > maxBytes) {  // it grew while we read
      return fail(describe(path, "is larger than " + std::to_string(maxBytes) + " bytes"));
    }
    text.append(buf, static_cast<size_t>(n));
  }
  return std::optional<std::string>(std::move(text));
}

Result<std::string> readFile(const std::string& path, size_t maxBytes) {
  auto read = readFileIfExists(path, maxBytes);
  if (!read) return read.error();
  if (!*read) return fail(describe(path, "does not exist"));
  return std::move(**read);
}

Result<std::string> replaceableTarget(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return path;
    return fail(describe(path, "cannot be written (" + errnoText() + ")"));
  }
  if (S_ISREG(st.st_mode)) return path;
  if (!S_ISLNK(st.st_mode)) return refusal(path, st.st_mode);
  // The link is kept; its final target, with every link on the way
  // resolved, is the file replaced.
  char* resolved = ::realpath(path.c_str(), nullptr);
  const std::string target = resolved != nullptr ? resolved : "";
  std::free(resolved);  // NOLINT(cppcoreguidelines-no-malloc): realpath's allocation
  if (target.empty() || ::lstat(target.c_str(), &st) != 0) {
    return fail(describe(path, "is a symbolic link to nothing usable (" + errnoText() +
                                   "), so it is left as it is"));
  }
  if (!S_ISREG(st.st_mode)) {
    return fail(describe(path, std::string("is a symbolic link to ") + kindOf(st.st_mode) +
                                   ", not to a regular file, so it is left as it is"));
  }
  return target;
}

Result<void> writeFileAtomically(const std::string& path, std::string_view bytes, mode_t mode,
                                 Replacing replacing) {
  auto where = replaceableTarget(path);
  if (!where) return where.error();
  const std::string& target = *where;
  auto chosen = modeOfWrite(target, path, mode, replacing);
  if (!chosen) return chosen.error();
  const std::string pattern = target + std::string(kTemporarySuffix) + "XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int raw = ::mkstemp(name.data());  // 0600
  if (raw < 0) return fail(describe(path, "cannot be written (" + errnoText() + ")"));
  const std::string temp = name.data();
  bool written = false;
  int error = 0;
  {
    const UniqueFd fd(raw);
    // Set even when it is mkstemp's 0600: a umask may have narrowed that.
    written =
        ::fchmod(fd.get(), *chosen) == 0 && writeAll(fd.get(), bytes) && ::fsync(fd.get()) == 0;
    error = errno;
  }
  if (!written) {
    ::unlink(temp.c_str());
    return fail(describe(path, std::string("cannot be written (") + std::strerror(error) + ")"));
  }
  if (auto placed = placeOnto(temp, target, path); !placed) {
    ::unlink(temp.c_str());
    return placed;
  }
  // The rename is durable only once the folder itself is on disk.
  const UniqueFd dir(::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
  return ok();
}

size_t removeLeftoverTemporaryFiles(const std::string& path) {
  size_t removed = removeLeftoversBeside(path);
  // A write through a symbolic link keeps its temporary file beside the target.
  if (auto target = replaceableTarget(path); target && *target != path) {
    removed += removeLeftoversBeside(*target);
  }
  return removed;
}

}  // namespace base
