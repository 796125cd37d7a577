// Standard base64 (RFC 4648 alphabet, with padding) for the radio's lines.
//
// Decoding is strict, because the text comes from other programs: only the
// standard alphabet, a length that is a multiple of four, padding only at
// the end and no stray bits in the last character. There is exactly one
// accepted text for each byte sequence.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ble {

std::string base64Encode(const std::vector<uint8_t>& bytes);
std::optional<std::vector<uint8_t>> base64Decode(std::string_view text);

}  // namespace ble
