#include "platform/base/host.h"

#include <unistd.h>

#include <climits>

#include "platform/base/file.h"
#include "platform/base/options.h"

namespace base {
namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

// A shell-style value: 'single quoted' taken as is, "double quoted" or bare
// with backslash escapes.
std::string unquote(std::string_view v) {
  std::string out;
  char quote = 0;
  for (size_t i = 0; i < v.size(); ++i) {
    const char c = v[i];
    if (quote == '\'') {
      if (c == '\'') {
        quote = 0;
      } else {
        out.push_back(c);
      }
    } else if (c == '\\' && i + 1 < v.size()) {
      out.push_back(v[++i]);
    } else if (quote == '"') {
      if (c == '"') {
        quote = 0;
      } else {
        out.push_back(c);
      }
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace

Host& Host::current() {
  static Host host("/etc/machine-info");
  return host;
}

std::optional<std::string> Host::prettyHostName(std::string_view machineInfo) {
  std::optional<std::string> found;
  while (!machineInfo.empty()) {
    const auto end = machineInfo.find('\n');
    std::string_view line = trim(machineInfo.substr(0, end));
    machineInfo = end == std::string_view::npos ? std::string_view{} : machineInfo.substr(end + 1);
    if (line.empty() || line.front() == '#') continue;
    constexpr std::string_view kKey = "PRETTY_HOSTNAME=";
    if (line.substr(0, kKey.size()) != kKey) continue;
    found = unquote(line.substr(kKey.size()));  // the last assignment wins, as in the shell
  }
  if (found && found->empty()) return std::nullopt;
  return found;
}

std::optional<std::string> Host::localizedName() const {
  const auto& options = platformOptions();
  if (options.noHostName) return std::nullopt;
  if (options.hostName) {
    if (options.hostName->empty()) return std::nullopt;
    return options.hostName;
  }
  // Without a readable machine-information file the host name stands in.
  if (const auto text = readFileIfExists(machineInfoPath_); text && *text) {
    if (auto pretty = prettyHostName(**text)) return pretty;
  }
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return std::nullopt;
  return std::string(name);
}

}  // namespace base
