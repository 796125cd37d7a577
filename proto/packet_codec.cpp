#include "proto/packet_codec.h"

#include <google/protobuf/stubs/logging.h>
#include <google/protobuf/util/json_util.h>

#include <cstdio>
#include <cstdlib>
#include <limits>

namespace tovelin {

void silenceProtobufLogging() {
  // A null handler makes the runtime drop every message (fatal ones still abort).
  static const bool silenced = [] {
    google::protobuf::SetLogHandler(nullptr);
    return true;
  }();
  (void)silenced;
}

std::optional<Packet> parsePacket(const std::vector<uint8_t>& bytes) {
  silenceProtobufLogging();
  if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    return std::nullopt;
  }
  Packet packet;
  if (!packet.ParseFromArray(bytes.data(), static_cast<int>(bytes.size()))) return std::nullopt;
  return packet;
}

std::vector<uint8_t> serializePacket(const Packet& packet) {
  silenceProtobufLogging();
  const std::size_t size = packet.ByteSizeLong();
  // Proto3 has no required fields, so only a packet beyond the format's 2 GiB
  // limit could fail; nothing the application builds comes near that.
  if (size > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    std::fprintf(stderr, "serializePacket: a packet of %zu bytes cannot be encoded\n", size);
    std::abort();
  }
  std::vector<uint8_t> bytes(size);
  if (size > 0 && !packet.SerializeToArray(bytes.data(), static_cast<int>(size))) {
    std::fprintf(stderr, "serializePacket: the protobuf runtime refused the packet\n");
    std::abort();
  }
  return bytes;
}

std::optional<std::string> jsonString(const google::protobuf::Message& message) {
  silenceProtobufLogging();
  std::string text;
  const auto status = google::protobuf::util::MessageToJsonString(
      message, &text, google::protobuf::util::JsonPrintOptions());
  if (!status.ok()) return std::nullopt;
  return text;
}

}  // namespace tovelin
