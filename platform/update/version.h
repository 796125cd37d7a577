// Version numbers as releases are numbered: dotted decimal numbers such as
// "1.0.0" or "2.10". Missing trailing parts count as zero, so "1.2" and
// "1.2.0" are the same version, and "1.10" is newer than "1.9".
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace update {

class Version {
 public:
  // A version from text; none unless the text is one or more decimal numbers
  // separated by single dots (no blanks, signs or letters).
  static std::optional<Version> parse(std::string_view text);

  [[nodiscard]] const std::string& text() const { return text_; }
  [[nodiscard]] const std::vector<uint64_t>& parts() const { return parts_; }

  friend std::strong_ordering operator<=>(const Version& a, const Version& b);
  friend bool operator==(const Version& a, const Version& b) {
    return (a <=> b) == std::strong_ordering::equal;
  }

 private:
  Version(std::string text, std::vector<uint64_t> parts)
      : text_(std::move(text)), parts_(std::move(parts)) {}
  std::string text_;
  std::vector<uint64_t> parts_;
};

}  // namespace update
