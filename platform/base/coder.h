// What an interface file hands to an object created from it: the object's
// attributes as written in the file. Classes created from interface files take
// a Coder in their constructor (the counterpart of initWithCoder:).
#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

#include "platform/base/geometry.h"

namespace base {

class Coder {
 public:
  Coder() : attributes_(nlohmann::json::object()) {}
  explicit Coder(nlohmann::json attributes) : attributes_(std::move(attributes)) {}

  [[nodiscard]] const nlohmann::json& attributes() const { return attributes_; }
  [[nodiscard]] bool contains(const std::string& key) const {
    return attributes_.is_object() && attributes_.contains(key);
  }
  [[nodiscard]] std::optional<std::string> decodeString(const std::string& key) const;
  [[nodiscard]] std::optional<double> decodeDouble(const std::string& key) const;
  [[nodiscard]] std::optional<bool> decodeBool(const std::string& key) const;
  // A rectangle written as [x, y, width, height].
  [[nodiscard]] std::optional<Rect> decodeRect(const std::string& key) const;

 private:
  nlohmann::json attributes_;
};

}  // namespace base
