// Whole files read and written safely.
//
// Files come from outside: a path may name a FIFO, a device, a folder or a
// file far larger than anything we wrote, and a write may be cut off at any
// moment. Reading therefore never waits on the path (a FIFO with no writer
// does not block the run loop), accepts regular files only and stops at a
// bound; writing goes to a temporary file beside the target, flushed and
// renamed over it, so a reader sees the old contents or the new, never half.
// Only a regular file is ever replaced: a folder, FIFO, socket or device at
// the path is left as it is, and a symbolic link stays a link, its target
// being the file written. A write may also treat the file it replaces as cp
// does (see Replacing).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/base/result.h"

namespace base {

inline constexpr size_t kDefaultMaxFileBytes = 64UL * 1024 * 1024;

// The file's bytes; none when nothing exists at `path`. A path that is not a
// regular file, a file larger than `maxBytes` or a failed read is an error.
Result<std::optional<std::string>> readFileIfExists(const std::string& path,
                                                    size_t maxBytes = kDefaultMaxFileBytes);

// As readFileIfExists, with a missing file an error too.
Result<std::string> readFile(const std::string& path, size_t maxBytes = kDefaultMaxFileBytes);

// The suffix of the temporary files writeFileAtomically leaves only when it is
// killed: "<file>.tmp-" and six characters.
inline constexpr std::string_view kTemporarySuffix = ".tmp-";

// The file a write to `path` replaces: `path` itself when nothing or a
// regular file is there, the target of a symbolic link to a regular file.
// Anything else (a folder, FIFO, socket or device, a dangling link or a link
// to one of those) is an error saying what it is.
Result<std::string> replaceableTarget(const std::string& path);

// What a write does with the permissions of the file it replaces.
enum class Replacing {
  // The file gets `mode` whatever was there: a private file stays private.
  withMode,
  // As cp does: a file this user may not write is refused and left as it
  // is, a replaced file keeps its permissions, and a new file gets `mode`
  // less the umask.
  asCopy,
};

// Replaces the replaceableTarget of `path` with `bytes`, durably, its mode
// as `replacing` says; refuses, touching nothing, what that refuses.
Result<void> writeFileAtomically(const std::string& path, std::string_view bytes,
                                 mode_t mode = 0600, Replacing replacing = Replacing::withMode);

// Removes regular files of ours named "<name>.tmp-XXXXXX" beside `path` and
// beside its replaceableTarget, left by writes that were killed before their
// rename. Returns how many.
size_t removeLeftoverTemporaryFiles(const std::string& path);

// The folder part of `path` ("." when it has none).
std::string folderOf(const std::string& path);

// Writes all of `bytes` to `fd`, retrying after interruptions.
bool writeAll(int fd, std::string_view bytes);

}  // namespace base
