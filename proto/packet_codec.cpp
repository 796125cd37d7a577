#include "proto/packet_codec.h"

#include <google/protobuf/stubs/logging.h>
#include <google/protobuf/util/json_util.h>

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

namespace tovelin {

void silenceProtobufLogging() {
  // A null handler makes the runtime drop every message (fatal ones still abort).
  static const bool silenced = [] {
    google::protobuf::SetLogHandler(nullptr);
    return true;
  }();
  (void)silenced;
}

namespace {

// The runtime escapes the direction embeddings and overrides (U+202A..U+202E)
// but writes the isolates U+2066..U+2069 as they are, and those would reorder
// a diagnostic line on a terminal just the same. The printed text is valid
// UTF-8, so their three-byte forms (E2 81 A6..A9) can be nothing else, and
// they only occur inside strings, where \u2066 is the same text.
void escapeIsolates(std::string& text) {
  if (text.find("\xE2\x81") == std::string::npos) return;
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto third = i + 2 < text.size() ? static_cast<unsigned char>(text[i + 2]) : 0U;
    if (text[i] == '\xE2' && text[i + 1] == '\x81' && third >= 0xA6 && third <= 0xA9) {
      out += "\\u206";
      out += static_cast<char>('0' + (third - 0xA0));
      i += 2;
    } else {
      out += text[i];
    }
  }
  text = std::move(out);
}

}  // namespace

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
  escapeIsolates(text);
  return text;
}

}  // namespace tovelin
