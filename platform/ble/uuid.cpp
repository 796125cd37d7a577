#include "platform/ble/uuid.h"

#include <cstdio>
#include <cstdlib>

namespace ble {
namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isHyphenPosition(size_t i) { return i == 8 || i == 13 || i == 18 || i == 23; }

}  // namespace

std::optional<UUID> UUID::fromString(std::string_view text) {
  if (text.size() != 36) return std::nullopt;
  std::array<uint8_t, 16> bytes{};
  size_t nibble = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (isHyphenPosition(i)) {
      if (text[i] != '-') return std::nullopt;
      continue;
    }
    const int v = hexValue(text[i]);
    if (v < 0) return std::nullopt;
    auto& byte = bytes[nibble / 2];
    byte = static_cast<uint8_t>(nibble % 2 == 0 ? v << 4 : byte | v);
    ++nibble;
  }
  return UUID(bytes);
}

UUID UUID::withString(std::string_view text) {
  auto uuid = fromString(text);
  if (!uuid) {
    std::fprintf(stderr, "ble::UUID::withString: \"%.*s\" is not a UUID (8-4-4-4-12 hex)\n",
                 static_cast<int>(text.size()), text.data());
    std::abort();
  }
  return *uuid;
}

std::string UUID::description() const {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(36);
  for (size_t i = 0; i < bytes_.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text.push_back('-');
    text.push_back(kDigits[bytes_[i] >> 4]);
    text.push_back(kDigits[bytes_[i] & 0x0F]);
  }
  return text;
}

}  // namespace ble
