// Feeds arbitrary bytes to the packet decoder as one characteristic value.
//
// Whatever arrives must either be refused or give a packet that encodes to
// bytes decoding to an equal packet (a NaN is equal to nothing, so those are
// checked by their bytes only), that encodes the same way again, hashes like
// its equal and renders as JSON text. The digest's CRC must agree between its
// byte-array and byte-buffer forms on the same bytes.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "crc/crc_calculator.h"
#include "proto/message_values.h"
#include "proto/packet_codec.h"

namespace {

void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "packet_fuzzer: %s\n", what);
    std::abort();
  }
}

bool holdsNaN(const tovelin::Packet& packet) {
  if (!packet.has_acceleration_update()) return false;
  const auto& a = packet.acceleration_update();
  return std::isnan(a.x()) || std::isnan(a.y()) || std::isnan(a.z());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> value(data, data + size);

  const auto buffer = std::as_bytes(std::span<const uint8_t>(value));
  require(tovelin::CrcCalculator::crc32(value, tovelin::CRC32_TYPE::posix) ==
              tovelin::CrcCalculator::crc32(buffer, tovelin::CRC32_TYPE::posix),
          "CRC forms disagree");

  const auto packet = tovelin::parsePacket(value);
  if (!packet) return 0;

  const auto bytes = tovelin::serializePacket(*packet);
  const auto again = tovelin::parsePacket(bytes);
  require(again.has_value(), "an encoded packet does not decode");
  require(tovelin::serializePacket(*again) == bytes, "encoding is not stable");
  if (!holdsNaN(*packet)) {
    require(*again == *packet, "decoded packet differs from the one encoded");
    require(tovelin::hashValue(*again) == tovelin::hashValue(*packet), "equal packets hash apart");
  }
  require(tovelin::jsonString(*packet).has_value(), "a decoded packet has no JSON text");
  return 0;
}
