#include "platform/base/url.h"

#include <cctype>

namespace base {
namespace {

bool isSchemeChar(char c, bool first) {
  const auto u = static_cast<unsigned char>(c);
  if (std::isalpha(u) != 0) return true;
  return !first && (std::isdigit(u) != 0 || c == '+' || c == '-' || c == '.');
}

}  // namespace

std::optional<URL> URL::fromString(std::string_view text) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0 || colon + 1 >= text.size()) {
    return std::nullopt;
  }
  for (size_t i = 0; i < colon; ++i) {
    if (!isSchemeChar(text[i], i == 0)) return std::nullopt;
  }
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7F) return std::nullopt;
  }
  std::string scheme(text.substr(0, colon));
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if ((scheme == "http" || scheme == "https") && text.substr(colon + 1, 2) != "//") {
    return std::nullopt;
  }
  return URL(std::string(text), scheme);
}

URL URL::fileURL(const std::string& path) { return URL("file://" + path, "file"); }

std::string URL::path() const {
  if (!isFileURL()) return {};
  std::string_view rest(text_);
  rest.remove_prefix(5);  // "file:"
  if (rest.substr(0, 2) == "//") {
    rest.remove_prefix(2);
    const auto slash = rest.find('/');
    rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash);
  }
  return std::string(rest);
}

}  // namespace base
