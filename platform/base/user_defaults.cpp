#include "platform/base/user_defaults.h"

#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/base/file.h"
#include "platform/base/log.h"
#include "platform/base/options.h"

namespace base {
namespace {

std::string errorText(int error) { return std::strerror(error); }

// Makes `folder` and any missing parents, each new one readable by the user
// alone. Folders that exist are left as they are: the file may live in a
// folder that is not ours.
bool makeFolders(const std::string& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const std::string parent = folderOf(folder);
  if (parent != folder && !makeFolders(parent)) return false;
  return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string timestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  ::gmtime_r(&now, &utc);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%dT%H%M%SZ", &utc);
  return buf;
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

std::string UserDefaults::standardPath() {
  if (const auto& file = platformOptions().defaultsFile) return *file;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/tovelin/defaults.json";
  const char* home = std::getenv("HOME");
  const std::string base = home != nullptr && home[0] != '\0' ? home : ".";
  return base + "/.config/tovelin/defaults.json";
}

UserDefaults& UserDefaults::standard() {
  static UserDefaults defaults(standardPath());
  return defaults;
}

UserDefaults::UserDefaults(std::string path) : path_(std::move(path)) {
  // A save killed between writing and renaming leaves a copy of the values
  // (the PIN among them) that nothing would ever remove.
  removeLeftoverTemporaryFiles(path_);
  load();
}

void UserDefaults::load() {
  // Only a regular file, or a link to one, is ever read, written or set aside.
  const auto target = replaceableTarget(path_);
  if (!target) {
    keepInMemory(target.error().message);
    return;
  }
  const auto read = readFileIfExists(path_, kMaxFileBytes);
  std::string why;
  if (!read) {
    // "PATH: is a FIFO" reads here as "it is a FIFO".
    why = read.error().message;
    const std::string prefix = path_ + ": ";
    if (why.starts_with(prefix)) why = "it " + why.substr(prefix.size());
  } else if (!*read) {
    return;  // no file yet
  } else if (auto values = parseDefaults(**read); !values) {
    why = values.error().message;
  } else {
    values_ = std::move(*values);
    return;
  }
  if (*target != path_) {
    // The link and its target are the user's own arrangement.
    keepInMemory(path_ + " is unusable: " + why +
                 "; it is a symbolic link, so it is left as it is");
    return;
  }
  keepAside(why);
}

Result<nlohmann::json> parseDefaults(std::string_view text) {
  // The parser would stop at a NUL and ignore what follows.
  if (text.find('\0') != std::string_view::npos) return fail("it holds a NUL character");
  // The parser itself does not recurse, but writing and comparing a value do:
  // a container deeper than the bound is dropped unbuilt and the file refused.
  bool tooDeep = false;
  const auto boundDepth = [&tooDeep](int depth, nlohmann::json::parse_event_t event,
                                     const nlohmann::json& /*value*/) {
    const bool opens = event == nlohmann::json::parse_event_t::object_start ||
                       event == nlohmann::json::parse_event_t::array_start;
    if (opens && depth >= UserDefaults::kMaxDepth) tooDeep = true;
    return !tooDeep;
  };
  auto parsed = nlohmann::json::parse(text, boundDepth, /*allow_exceptions=*/false);
  if (tooDeep) {
    return fail("it is nested deeper than " + std::to_string(UserDefaults::kMaxDepth) + " levels");
  }
  if (parsed.is_discarded()) return fail("it is not valid JSON");
  if (!parsed.is_object()) return fail("it is not a JSON object");
  return parsed;
}

std::string formatDefaults(const nlohmann::json& values) {
  // Invalid UTF-8 in a value is written replaced rather than failing the write.
  return values.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

void UserDefaults::keepAside(const std::string& why) {
  // Checked again just before the rename: the path may have been replaced
  // by something that is not ours to move since it was read.
  struct stat st {};
  if (::lstat(path_.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    keepInMemory(path_ + " is unusable: " + why + "; it is no longer a regular file, so it is " +
                 "left as it is");
    return;
  }
  std::string aside = path_ + ".unreadable-" + timestamp();
  for (int n = 1; exists(aside) && n < 1000; ++n) {
    aside = path_ + ".unreadable-" + timestamp() + "-" + std::to_string(n);
  }
  const bool moved = !exists(aside) && ::rename(path_.c_str(), aside.c_str()) == 0;
  const int error = errno;
  if (moved) {
    keptAside_ = aside;
    printError("user defaults: " + path_ + " is unusable: " + why + "; kept it as " + aside +
               " and started with no values");
    return;
  }
  keepInMemory(path_ + " is unusable: " + why + "; it cannot be moved aside (" + errorText(error) +
               ")");
}

void UserDefaults::keepInMemory(const std::string& why) {
  persistent_ = false;
  printError("user defaults: " + why + "; values are kept in memory only for this run");
}

std::optional<std::string> UserDefaults::stringForKey(const std::string& key) const {
  auto it = values_.find(key);
  if (it == values_.end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

void UserDefaults::setValueForKey(const std::string& value, const std::string& key) {
  auto it = values_.find(key);
  // Rewriting an unchanged value would cost two flushes to disk for nothing;
  // a value whose last write failed is tried again.
  if (it != values_.end() && it->is_string() && it->get_ref<const std::string&>() == value &&
      !unsaved_) {
    return;
  }
  values_[key] = value;
  unsaved_ = !save();
}

void UserDefaults::removeObjectForKey(const std::string& key) {
  if (values_.erase(key) == 0) return;
  unsaved_ = !save();
}

bool UserDefaults::save() {
  if (!persistent_) return false;
  const std::string folder = folderOf(path_);
  if (!makeFolders(folder)) {
    printError("user defaults: cannot make the folder " + folder + " (" + errorText(errno) +
               "); the change is kept in memory only");
    return false;
  }
  const std::string text = formatDefaults(values_);

  if (auto written = writeFileAtomically(path_, text); !written) {
    printError("user defaults: " + written.error().message + "; the change is kept in memory only");
    return false;
  }
  return true;
}

}  // namespace base
