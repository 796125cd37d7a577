// The phone's side of the PIN handshake.
//
// On subscription the phone sends an authentication request with its
// protocol version and a random challenge; the desktop answers with a write
// holding the CRC-32/POSIX digest of the challenge (4 bytes, big-endian)
// followed by the 36-byte salt, the PIN and its name. This checks that
// answer. Every request gets at most one verdict.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/result.h"

namespace sim {

// The digest the desktop must send for `challenge`.
uint32_t expectedDigest(uint32_t challenge);

class PhoneAuth {
 public:
  enum class Verdict { accepted, wrongPin, wrongDigest };
  struct Answer {
    Verdict verdict;
    std::string deviceName;
  };

  PhoneAuth(int32_t version, std::string pin) : version_(version), pin_(std::move(pin)) {}

  // A new request (serialized packet) with `challenge`; any earlier one is
  // forgotten.
  std::vector<uint8_t> request(uint32_t challenge);
  // Checks a written value: an error when no request is waiting or the value
  // is not an authentication response.
  base::Result<Answer> check(const std::vector<uint8_t>& value);
  void reset() { challenge_.reset(); }

  // The serialized refusal and acceleration packets.
  static std::vector<uint8_t> refusal();
  static std::vector<uint8_t> acceleration(double x, double y, double z);

 private:
  int32_t version_;
  std::string pin_;
  std::optional<uint32_t> challenge_;
};

}  // namespace sim
