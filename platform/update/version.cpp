#include "platform/update/version.h"

#include <algorithm>

namespace update {
namespace {

// More digits than this could overflow a part.
constexpr size_t kMaxDigits = 18;

}  // namespace

std::optional<Version> Version::parse(std::string_view text) {
  std::vector<uint64_t> parts;
  size_t start = 0;
  while (true) {
    const size_t dot = std::min(text.find('.', start), text.size());
    const std::string_view part = text.substr(start, dot - start);
    if (part.empty() || part.size() > kMaxDigits) return std::nullopt;
    uint64_t value = 0;
    for (const char c : part) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    parts.push_back(value);
    if (dot == text.size()) break;
    start = dot + 1;
  }
  return Version(std::string(text), std::move(parts));
}

std::strong_ordering operator<=>(const Version& a, const Version& b) {
  const size_t n = std::max(a.parts_.size(), b.parts_.size());
  for (size_t i = 0; i < n; ++i) {
    const uint64_t x = i < a.parts_.size() ? a.parts_[i] : 0;
    const uint64_t y = i < b.parts_.size() ? b.parts_[i] : 0;
    if (x != y) return x <=> y;
  }
  return std::strong_ordering::equal;
}

}  // namespace update
