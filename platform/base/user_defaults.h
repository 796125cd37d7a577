// The user's defaults: values under keys, kept in one JSON file whose top
// level is an object. The program reads and writes string values; members of
// other types (numbers, lists, objects) are the user's or another program's:
// they are kept as they are and written back with every save, and a key whose
// value is not a string reads as absent.
//
// The file is the platform option --defaults FILE, else
// $XDG_CONFIG_HOME/tovelin/defaults.json, else ~/.config/tovelin/defaults.json.
// A folder made for it is made readable by the user alone (0700); the file is
// always 0600. Every change is written through at once: the new contents go
// to a temporary file in the same folder, flushed to disk, renamed over the
// file, and the folder is flushed, so a kill at any moment leaves the old
// file or the new one. Setting the value a key already holds is no change and
// writes nothing. Temporary files left by a save that was killed are removed
// when the defaults are opened.
//
// A file that cannot be read or parsed (not a JSON object), a file nested
// deeper than kMaxDepth and a file larger than kMaxFileBytes are unusable:
// such a file is kept aside under "<file>.unreadable-<time>" with a message
// on standard error, and the defaults start empty; it is never overwritten.
// Only a regular file is ever moved or replaced. A symbolic link to a
// regular file stays a link and its target is what is read and written;
// such a target that is unusable is left as it is. A path that is a folder,
// FIFO (never opened in a way that waits), socket or device, a dangling link
// or a link to one of those is left as it is. In each case where the file is
// left, or cannot even be moved aside, nothing is written for the rest of the
// run: values are kept in memory only, with a message on standard error.
#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/base/result.h"

namespace base {

class UserDefaults {
 public:
  static constexpr size_t kMaxFileBytes = 1024 * 1024;
  // Containers within containers, the top-level object counted: writing and
  // comparing a value recurse once per level.
  static constexpr int kMaxDepth = 100;

  // The defaults of this process, read on first use.
  static UserDefaults& standard();
  // Where standard() keeps its file under the current options and environment.
  static std::string standardPath();

  // Defaults kept in the file `path` (read now).
  explicit UserDefaults(std::string path);

  [[nodiscard]] std::optional<std::string> stringForKey(const std::string& key) const;
  // Stores `value` under `key` and writes the file through.
  void setValueForKey(const std::string& value, const std::string& key);
  // Removes `key` (nothing when absent) and writes the file through.
  void removeObjectForKey(const std::string& key);

  [[nodiscard]] const std::string& path() const { return path_; }
  // False once the file has been found unusable and could not be moved aside.
  [[nodiscard]] bool writesToFile() const { return persistent_; }
  // Where an unreadable file was moved, if it was.
  [[nodiscard]] const std::optional<std::string>& keptAsidePath() const { return keptAside_; }

 private:
  void load();
  void keepAside(const std::string& why);
  void keepInMemory(const std::string& why);
  bool save();

  std::string path_;
  nlohmann::json values_ = nlohmann::json::object();
  bool persistent_ = true;
  bool unsaved_ = false;  // the last write failed
  std::optional<std::string> keptAside_;
};

// The values of a defaults file's text: a JSON object, or why not.
Result<nlohmann::json> parseDefaults(std::string_view text);
// The text of a defaults file holding `values`, a JSON object.
std::string formatDefaults(const nlohmann::json& values);

}  // namespace base
