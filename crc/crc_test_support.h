// Inputs shared by the CRC tests.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace tovelin::testing {

// The catalogue's check input, the nine ASCII bytes of "123456789".
inline std::vector<uint8_t> checkInput() {
  constexpr std::string_view text = "123456789";
  return {text.begin(), text.end()};
}

inline std::vector<std::byte> asBuffer(const std::vector<uint8_t>& bytes) {
  std::vector<std::byte> out(bytes.size());
  std::transform(bytes.begin(), bytes.end(), out.begin(),
                 [](uint8_t b) { return static_cast<std::byte>(b); });
  return out;
}

}  // namespace tovelin::testing
