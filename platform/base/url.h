// Addresses: file paths and web addresses, made from text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace base {

class URL {
 public:
  // An address from text: a scheme ("https", "file", ...) followed by ":" and
  // a non-empty rest without blanks or control characters. Text that is not an
  // address gives none.
  static std::optional<URL> fromString(std::string_view text);
  // The address of a local file (an absolute path).
  static URL fileURL(const std::string& path);

  [[nodiscard]] const std::string& absoluteString() const { return text_; }
  [[nodiscard]] const std::string& scheme() const { return scheme_; }
  [[nodiscard]] bool isFileURL() const { return scheme_ == "file"; }
  // The path of a file address ("/a/b" for "file:///a/b"); empty otherwise.
  [[nodiscard]] std::string path() const;

  friend bool operator==(const URL&, const URL&) = default;

 private:
  URL(std::string text, std::string scheme) : text_(std::move(text)), scheme_(std::move(scheme)) {}
  std::string text_;
  std::string scheme_;
};

}  // namespace base
