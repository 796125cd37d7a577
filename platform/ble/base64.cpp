#include "platform/ble/base64.h"

#include <array>

namespace ble {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int8_t, 256> makeReverse() {
  std::array<int8_t, 256> table{};
  for (auto& v : table) v = -1;
  for (int i = 0; i < 64; ++i) table[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int8_t>(i);
  return table;
}

constexpr auto kReverse = makeReverse();

}  // namespace

std::string base64Encode(const std::vector<uint8_t>& bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t v = (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
    text.push_back(kAlphabet[(v >> 18) & 63]);
    text.push_back(kAlphabet[(v >> 12) & 63]);
    text.push_back(kAlphabet[(v >> 6) & 63]);
    text.push_back(kAlphabet[v & 63]);
  }
  const size_t left = bytes.size() - i;
  if (left > 0) {
    uint32_t v = uint32_t{bytes[i]} << 16;
    if (left == 2) v |= uint32_t{bytes[i + 1]} << 8;
    text.push_back(kAlphabet[(v >> 18) & 63]);
    text.push_back(kAlphabet[(v >> 12) & 63]);
    text.push_back(left == 2 ? kAlphabet[(v >> 6) & 63] : '=');
    text.push_back('=');
  }
  return text;
}

std::optional<std::vector<uint8_t>> base64Decode(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::vector<uint8_t> bytes;
  bytes.reserve(text.size() / 4 * 3);
  for (size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    size_t padding = 0;
    if (last) {
      if (text[i + 3] == '=') padding = text[i + 2] == '=' ? 2 : 1;
    }
    uint32_t v = 0;
    for (size_t k = 0; k < 4; ++k) {
      int8_t d = 0;
      if (k < 4 - padding) {
        d = kReverse[static_cast<uint8_t>(text[i + k])];
        if (d < 0) return std::nullopt;  // '=' in the middle lands here too
      }
      v = (v << 6) | static_cast<uint32_t>(d);
    }
    // The bits that padding leaves over must be zero, or two texts would
    // decode to the same bytes.
    if ((padding == 1 && (v & 0xFF) != 0) || (padding == 2 && (v & 0xFFFF) != 0)) {
      return std::nullopt;
    }
    bytes.push_back(static_cast<uint8_t>(v >> 16));
    if (padding < 2) bytes.push_back(static_cast<uint8_t>(v >> 8));
    if (padding < 1) bytes.push_back(static_cast<uint8_t>(v));
  }
  return bytes;
}

}  // namespace ble
