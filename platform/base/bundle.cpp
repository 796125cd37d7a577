#include "platform/base/bundle.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/base/file.h"
#include "platform/base/log.h"
#include "platform/base/options.h"

namespace base {
namespace {

std::string executableDir() {
  std::string buf(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return ".";
  buf.resize(static_cast<size_t>(n));
  const auto slash = buf.rfind('/');
  return slash == std::string::npos ? "." : buf.substr(0, slash);
}

bool isRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

Bundle& Bundle::main() {
  static Bundle bundle(platformOptions().bundleDir.value_or(executableDir() + "/resources"));
  return bundle;
}

std::optional<std::string> Bundle::pathForResource(const std::string& name,
                                                   const std::string& extension) const {
  if (name.empty() || name.find('/') != std::string::npos || name.find("..") != std::string::npos) {
    return std::nullopt;
  }
  std::string path = resourcePath_ + "/" + name;
  if (!extension.empty()) path += "." + extension;
  if (!isRegularFile(path)) return std::nullopt;
  return path;
}

std::optional<URL> Bundle::urlForResource(const std::string& name,
                                          const std::string& extension) const {
  auto path = pathForResource(name, extension);
  if (!path) return std::nullopt;
  return URL::fileURL(*path);
}

const nlohmann::json& Bundle::infoDictionary() const {
  if (!info_) {
    info_ = nlohmann::json::object();
    const std::string path = resourcePath_ + "/Info.json";
    const auto text = readFile(path);
    if (!text) {
      printError("bundle: no information file at " + path);
    } else {
      auto parsed = nlohmann::json::parse(*text, nullptr, /*allow_exceptions=*/false);
      if (parsed.is_object()) {
        info_ = std::move(parsed);
        infoRead_ = true;
      } else {
        printError("bundle: the information file " + path + " is not a JSON object");
      }
    }
  }
  return *info_;
}

bool Bundle::hasInfoFile() const {
  (void)infoDictionary();
  return infoRead_;
}

std::optional<std::string> Bundle::infoString(const std::string& key) const {
  const auto& info = infoDictionary();
  auto it = info.find(key);
  if (it == info.end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

}  // namespace base
