#include "platform/base/coder.h"

namespace base {

std::optional<std::string> Coder::decodeString(const std::string& key) const {
  if (!contains(key) || !attributes_[key].is_string()) return std::nullopt;
  return attributes_[key].get<std::string>();
}

std::optional<double> Coder::decodeDouble(const std::string& key) const {
  if (!contains(key) || !attributes_[key].is_number()) return std::nullopt;
  return attributes_[key].get<double>();
}

std::optional<bool> Coder::decodeBool(const std::string& key) const {
  if (!contains(key) || !attributes_[key].is_boolean()) return std::nullopt;
  return attributes_[key].get<bool>();
}

std::optional<Rect> Coder::decodeRect(const std::string& key) const {
  if (!contains(key)) return std::nullopt;
  const auto& v = attributes_[key];
  if (!v.is_array() || v.size() != 4) return std::nullopt;
  for (const auto& n : v) {
    if (!n.is_number()) return std::nullopt;
  }
  return makeRect(v[0].get<double>(), v[1].get<double>(), v[2].get<double>(), v[3].get<double>());
}

}  // namespace base
