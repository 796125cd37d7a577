#include "sim/phone_auth.h"

#include "crc/crc_calculator.h"
#include "proto/packet_codec.h"

namespace sim {
namespace {

constexpr char kSalt[] = "9F3B27C4-61DA-4E8F-A2C5-7B0D94E1F6A3";

}  // namespace

uint32_t expectedDigest(uint32_t challenge) {
  std::vector<uint8_t> input{static_cast<uint8_t>(challenge >> 24),
                             static_cast<uint8_t>(challenge >> 16),
                             static_cast<uint8_t>(challenge >> 8), static_cast<uint8_t>(challenge)};
  input.insert(input.end(), kSalt, kSalt + sizeof kSalt - 1);
  return tovelin::CrcCalculator::crc32(input, tovelin::CRC32_TYPE::posix);
}

std::vector<uint8_t> PhoneAuth::request(uint32_t challenge) {
  challenge_ = challenge;
  tovelin::Packet packet;
  packet.mutable_auth_request()->set_version(version_);
  packet.mutable_auth_request()->set_challenge(challenge);
  return tovelin::serializePacket(packet);
}

base::Result<PhoneAuth::Answer> PhoneAuth::check(const std::vector<uint8_t>& value) {
  auto packet = tovelin::parsePacket(value);
  if (!packet || !packet->has_auth_response()) {
    return base::fail("the value written is not an authentication response");
  }
  if (!challenge_) {
    return base::fail("an authentication response came without a request");
  }
  const auto& response = packet->auth_response();
  Answer answer{Verdict::accepted, response.device_name()};
  if (response.digest() != expectedDigest(*challenge_)) {
    answer.verdict = Verdict::wrongDigest;
  } else if (response.pin_code() != pin_) {
    answer.verdict = Verdict::wrongPin;
  }
  challenge_.reset();
  return answer;
}

std::vector<uint8_t> PhoneAuth::refusal() {
  tovelin::Packet packet;
  packet.mutable_auth_invalid();
  return tovelin::serializePacket(packet);
}

std::vector<uint8_t> PhoneAuth::acceleration(double x, double y, double z) {
  tovelin::Packet packet;
  auto* update = packet.mutable_acceleration_update();
  update->set_x(x);
  update->set_y(y);
  update->set_z(z);
  return tovelin::serializePacket(packet);
}

}  // namespace sim
