// Bluetooth identifiers: service, characteristic and peripheral UUIDs.
//
// A UUID is kept as its 16 bytes, so two UUIDs written in different case are
// the same value. Text is the 8-4-4-4-12 hexadecimal form; description()
// gives it back in upper case, the form the link profile and the logs use.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ble {

class UUID {
 public:
  // Parses the 8-4-4-4-12 hexadecimal form, in any case. Anything else
  // (braces, missing hyphens, other lengths) is not a UUID.
  static std::optional<UUID> fromString(std::string_view text);
  // For UUIDs written in the program: bad text is a programming error and
  // stops the program with a clear message.
  static UUID withString(std::string_view text);
  static UUID fromBytes(const std::array<uint8_t, 16>& bytes) { return UUID(bytes); }

  [[nodiscard]] std::string description() const;
  [[nodiscard]] const std::array<uint8_t, 16>& bytes() const { return bytes_; }

  bool operator==(const UUID& other) const { return bytes_ == other.bytes_; }
  bool operator<(const UUID& other) const { return bytes_ < other.bytes_; }

 private:
  explicit UUID(const std::array<uint8_t, 16>& bytes) : bytes_(bytes) {}
  std::array<uint8_t, 16> bytes_{};
};

}  // namespace ble

template <>
struct std::hash<ble::UUID> {
  size_t operator()(const ble::UUID& uuid) const noexcept {
    size_t h = 1469598103934665603ULL;
    for (const uint8_t b : uuid.bytes()) h = (h ^ b) * 1099511628211ULL;
    return h;
  }
};
