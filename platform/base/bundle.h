// The application bundle: the folder of resources the program ships with
// (interface files, shader source, videos, images) and its information file.
//
// The folder is the platform option --bundle DIR, else "resources" beside the
// executable. The information file is "Info.json" in that folder.
#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

#include "platform/base/url.h"

namespace base {

class Bundle {
 public:
  static Bundle& main();
  explicit Bundle(std::string resourcePath) : resourcePath_(std::move(resourcePath)) {}

  [[nodiscard]] const std::string& resourcePath() const { return resourcePath_; }

  // The resource "NAME.EXTENSION" (or "NAME" when the extension is empty), or
  // none when the bundle does not hold it.
  [[nodiscard]] std::optional<URL> urlForResource(const std::string& name,
                                                  const std::string& extension) const;
  [[nodiscard]] std::optional<std::string> pathForResource(const std::string& name,
                                                           const std::string& extension) const;

  // The information file's object; an empty object when it is missing or
  // unreadable (reported once on standard error).
  [[nodiscard]] const nlohmann::json& infoDictionary() const;
  [[nodiscard]] std::optional<std::string> infoString(const std::string& key) const;
  // Whether the information file was read as a JSON object.
  [[nodiscard]] bool hasInfoFile() const;

 private:
  std::string resourcePath_;
  mutable std::optional<nlohmann::json> info_;
  mutable bool infoRead_ = false;
};

}  // namespace base
