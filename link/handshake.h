// The desktop's side of the phone's authentication handshake: the fixed
// salt, the 40-byte digest input, the digest, and the computer's name as the
// phone is told it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tovelin {

// Protocol versions at or above this are refused.
inline constexpr int32_t kVersionLimit = 200;

// The user-defaults key that holds the PIN last sent to a phone.
inline constexpr const char* kPincodeKey = "pincode";

// The handshake's fixed salt: the UTF-8 bytes of a 36-character UUID text,
// built once on first use.
const std::vector<uint8_t>& digestSalt();

// The challenge big-endian, then the salt: 40 bytes.
std::vector<uint8_t> digestInput(uint32_t challenge);

// CRC-32/POSIX of digestInput(challenge).
uint32_t digest(uint32_t challenge);

// The last 20 user-perceived characters of the host's name (the whole name
// when shorter), or "Macbook" when there is none.
std::string deviceName(const std::optional<std::string>& hostName);

}  // namespace tovelin
