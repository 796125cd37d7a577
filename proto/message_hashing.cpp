// Hashing of the wire messages, in the order their encoding visits the fields.

#include <bit>
#include <cstdint>
#include <string_view>

#include "proto/message_values.h"
#include "proto/unicode_text.h"
#include "proto/unknown_bytes.h"

namespace tovelin {
namespace {

// FNV-1a over everything fed, finished with a 64-bit avalanche so that the
// seed and short inputs spread over the whole word.
class Hasher {
 public:
  explicit Hasher(std::size_t seed) : state_(kOffset ^ mix(static_cast<uint64_t>(seed))) {}

  void feed(uint64_t value) {
    for (int i = 0; i < 8; ++i) {
      byte(static_cast<uint8_t>(value >> (8 * i)));
    }
  }

  // Length first, so that consecutive texts cannot run into each other.
  void feed(std::string_view bytes) {
    feed(static_cast<uint64_t>(bytes.size()));
    for (const char c : bytes) byte(static_cast<uint8_t>(c));
  }

  std::size_t finish() const { return static_cast<std::size_t>(mix(state_)); }

 private:
  static constexpr uint64_t kOffset = 0xcbf29ce484222325ULL;
  static constexpr uint64_t kPrime = 0x100000001b3ULL;

  static uint64_t mix(uint64_t v) {
    v ^= v >> 30;
    v *= 0xbf58476d1ce4e5b9ULL;
    v ^= v >> 27;
    v *= 0x94d049bb133111ebULL;
    v ^= v >> 31;
    return v;
  }

  void byte(uint8_t b) {
    state_ ^= b;
    state_ *= kPrime;
  }

  uint64_t state_;
};

// A double at zero (either sign) is left out, as its equality makes -0.0 and
// 0.0 the same value; any other value feeds its bit pattern.
void feedDouble(Hasher& h, uint64_t number, double value) {
  if (value == 0.0) return;
  h.feed(number);
  h.feed(std::bit_cast<uint64_t>(value));
}

void feedInteger(Hasher& h, uint64_t number, uint64_t value) {
  if (value == 0) return;
  h.feed(number);
  h.feed(value);
}

void feedText(Hasher& h, uint64_t number, const std::string& text) {
  if (text.empty()) return;
  h.feed(number);
  // Canonically equivalent texts are equal, so they must feed the same bytes.
  if (const auto canonical = canonicalForm(text)) {
    h.feed(*canonical);
  } else {
    h.feed(text);
  }
}

template <typename M>
void feedUnknown(Hasher& h, const M& m) {
  if (!m.GetReflection()->GetUnknownFields(m).empty())
    h.feed(unknownBytes(m.GetReflection()->GetUnknownFields(m)));
}

void feedFields(Hasher& h, const AccelerationUpdate& m) {
  feedDouble(h, 1, m.x());
  feedDouble(h, 2, m.y());
  feedDouble(h, 3, m.z());
  feedUnknown(h, m);
}

void feedFields(Hasher& h, const AuthenticationRequest& m) {
  // The version feeds its two's-complement value sign-extended, as on the wire.
  feedInteger(h, 1, static_cast<uint64_t>(static_cast<int64_t>(m.version())));
  feedInteger(h, 2, m.challenge());
  feedUnknown(h, m);
}

void feedFields(Hasher& h, const AuthenticationResponse& m) {
  feedInteger(h, 1, m.digest());
  feedText(h, 2, m.pin_code());
  feedText(h, 3, m.device_name());
  feedUnknown(h, m);
}

void feedFields(Hasher& h, const InvalidAuthentication& m) { feedUnknown(h, m); }

void feedFields(Hasher& h, const Packet& m) {
  // A set case always feeds its number, even with an all-default payload, so
  // that it hashes apart from an unset oneof.
  switch (m.packet_oneof_case()) {
    case Packet::kAccelerationUpdate:
      h.feed(1);
      feedFields(h, m.acceleration_update());
      break;
    case Packet::kAuthRequest:
      h.feed(2);
      feedFields(h, m.auth_request());
      break;
    case Packet::kAuthResponse:
      h.feed(3);
      feedFields(h, m.auth_response());
      break;
    case Packet::kAuthInvalid:
      h.feed(4);
      feedFields(h, m.auth_invalid());
      break;
    case Packet::PACKET_ONEOF_NOT_SET:
      break;
  }
  feedUnknown(h, m);
}

template <typename M>
std::size_t hashOf(const M& m, std::size_t seed) {
  Hasher h(seed);
  feedFields(h, m);
  return h.finish();
}

}  // namespace

std::size_t hashValue(const AccelerationUpdate& message, std::size_t seed) {
  return hashOf(message, seed);
}
std::size_t hashValue(const AuthenticationRequest& message, std::size_t seed) {
  return hashOf(message, seed);
}
std::size_t hashValue(const AuthenticationResponse& message, std::size_t seed) {
  return hashOf(message, seed);
}
std::size_t hashValue(const InvalidAuthentication& message, std::size_t seed) {
  return hashOf(message, seed);
}
std::size_t hashValue(const Packet& message, std::size_t seed) { return hashOf(message, seed); }

}  // namespace tovelin
