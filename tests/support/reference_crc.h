// CRC-32/POSIX the table-driven way, independent of the project's bit-serial
// library: polynomial 0x04C11DB7, no reflection, initial 0, final XOR all ones.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace testing_support {

inline uint32_t referenceCksum(const std::vector<uint8_t>& bytes) {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t r = i << 24;
    for (int b = 0; b < 8; ++b) r = (r & 0x80000000U) != 0 ? (r << 1) ^ 0x04C11DB7U : r << 1;
    table[i] = r;
  }
  uint32_t crc = 0;
  for (const uint8_t byte : bytes) crc = (crc << 8) ^ table[((crc >> 24) ^ byte) & 0xFFU];
  return crc ^ 0xFFFFFFFFU;
}

// The handshake's digest input: the challenge big-endian, then the salt text.
inline std::vector<uint8_t> referenceDigestInput(uint32_t challenge) {
  std::vector<uint8_t> input = {
      static_cast<uint8_t>(challenge >> 24), static_cast<uint8_t>(challenge >> 16),
      static_cast<uint8_t>(challenge >> 8), static_cast<uint8_t>(challenge)};
  for (const char c : std::string_view("9F3B27C4-61DA-4E8F-A2C5-7B0D94E1F6A3")) {
    input.push_back(static_cast<uint8_t>(c));
  }
  return input;
}

}  // namespace testing_support
