#include "proto/message_values.h"

#include <google/protobuf/descriptor.h>
#include <google/protobuf/unknown_field_set.h>
#include <google/protobuf/util/message_differencer.h>

#include <cctype>

#include "proto/unicode_text.h"
#include "proto/unknown_bytes.h"

namespace tovelin {
namespace {

template <typename M>
bool sameUnknownBytes(const M& a, const M& b) {
  const auto& ua = a.GetReflection()->GetUnknownFields(a);
  const auto& ub = b.GetReflection()->GetUnknownFields(b);
  if (ua.empty() && ub.empty()) return true;
  if (ua.empty() != ub.empty()) return false;
  return unknownBytes(ua) == unknownBytes(ub);
}

template <typename M>
bool equalAs(const google::protobuf::Message& a, const google::protobuf::Message& b) {
  const auto* ma = dynamic_cast<const M*>(&a);
  const auto* mb = dynamic_cast<const M*>(&b);
  return ma != nullptr && mb != nullptr && *ma == *mb;
}

}  // namespace

bool operator==(const AccelerationUpdate& a, const AccelerationUpdate& b) {
  return a.x() == b.x() && a.y() == b.y() && a.z() == b.z() && sameUnknownBytes(a, b);
}

bool operator==(const AuthenticationRequest& a, const AuthenticationRequest& b) {
  return a.version() == b.version() && a.challenge() == b.challenge() && sameUnknownBytes(a, b);
}

bool operator==(const AuthenticationResponse& a, const AuthenticationResponse& b) {
  return a.digest() == b.digest() && canonicallyEquivalent(a.pin_code(), b.pin_code()) &&
         canonicallyEquivalent(a.device_name(), b.device_name()) && sameUnknownBytes(a, b);
}

bool operator==(const InvalidAuthentication& a, const InvalidAuthentication& b) {
  return sameUnknownBytes(a, b);
}

bool operator==(const Packet& a, const Packet& b) {
  if (a.packet_oneof_case() != b.packet_oneof_case()) return false;
  bool payloadsEqual = true;
  switch (a.packet_oneof_case()) {
    case Packet::kAccelerationUpdate:
      payloadsEqual = a.acceleration_update() == b.acceleration_update();
      break;
    case Packet::kAuthRequest:
      payloadsEqual = a.auth_request() == b.auth_request();
      break;
    case Packet::kAuthResponse:
      payloadsEqual = a.auth_response() == b.auth_response();
      break;
    case Packet::kAuthInvalid:
      payloadsEqual = a.auth_invalid() == b.auth_invalid();
      break;
    case Packet::PACKET_ONEOF_NOT_SET:
      break;
  }
  return payloadsEqual && sameUnknownBytes(a, b);
}

bool isEqualTo(const google::protobuf::Message& a, const google::protobuf::Message& b) {
  if (a.GetDescriptor() != b.GetDescriptor()) return false;
  const auto* type = a.GetDescriptor();
  if (type == AccelerationUpdate::descriptor()) return equalAs<AccelerationUpdate>(a, b);
  if (type == AuthenticationRequest::descriptor()) return equalAs<AuthenticationRequest>(a, b);
  if (type == AuthenticationResponse::descriptor()) return equalAs<AuthenticationResponse>(a, b);
  if (type == InvalidAuthentication::descriptor()) return equalAs<InvalidAuthentication>(a, b);
  if (type == Packet::descriptor()) return equalAs<Packet>(a, b);
  // Not one of ours: the runtime's own field-by-field comparison.
  return google::protobuf::util::MessageDifferencer::Equals(a, b);
}

std::string debugDescription(const google::protobuf::Message& message) {
  // The package with an upper-case initial, an underscore, then the message
  // name, qualified by the application's module.
  const auto* type = message.GetDescriptor();
  std::string package = type->file()->package();
  if (!package.empty()) {
    package[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(package[0])));
  }
  return "Tovelin_App." + package + "_" + type->name();
}

}  // namespace tovelin

namespace tovelin {

std::string unknownBytes(const google::protobuf::UnknownFieldSet& fields) {
  std::string bytes;
  if (!fields.empty()) fields.SerializeToString(&bytes);
  return bytes;
}

}  // namespace tovelin
