// Hex helpers shared by the message tests: "0A 00" <-> bytes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace tovelin::testing {

inline std::vector<uint8_t> bytesOf(std::string_view hex) {
  std::vector<uint8_t> out;
  std::string digits;
  for (const char c : hex) {
    if (c == ' ') continue;
    digits.push_back(c);
    if (digits.size() == 2) {
      out.push_back(static_cast<uint8_t>(std::stoul(digits, nullptr, 16)));
      digits.clear();
    }
  }
  return out;
}

inline std::string hexOf(const std::vector<uint8_t>& bytes) {
  std::string out;
  char buf[4];
  for (const uint8_t b : bytes) {
    std::snprintf(buf, sizeof buf, "%02X", b);
    if (!out.empty()) out.push_back(' ');
    out += buf;
  }
  return out;
}

// Names parameterised cases after their `name` member.
struct CaseName {
  template <typename Info>
  std::string operator()(const Info& testInfo) const {
    return testInfo.param.name;
  }
};

}  // namespace tovelin::testing
