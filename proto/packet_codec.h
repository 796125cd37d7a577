// The link's entry points to the wire format: one characteristic value is
// exactly one serialized Packet, and the diagnostic lines show messages as
// their proto3 JSON text.
//
// The protobuf runtime would log to standard error on some failures (a string
// that is not UTF-8, for one); these entry points silence it first, so that a
// value that does not parse is dropped without a word.
#pragma once

#include <google/protobuf/message.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "proto/tovelin.pb.h"

namespace tovelin {

// Decodes one whole packet; nothing when the bytes are not one valid packet
// (truncated, malformed tag or length, text that is not valid UTF-8, nesting
// beyond 100 levels). Unknown fields are kept.
std::optional<Packet> parsePacket(const std::vector<uint8_t>& bytes);

// Encodes a packet: declared fields in field-number order, fields at their
// default left out (a double only when its bit pattern is all zeros), the set
// oneof case always written, unknown fields after the declared ones.
// Texts are written as they are held; they should be valid UTF-8, which a
// peer's decoder requires.
std::vector<uint8_t> serializePacket(const Packet& packet);

// The proto3 JSON text with default options: compact, JSON (lowerCamelCase)
// names, defaults left out, unknown fields never shown, NaN and infinities as
// "NaN", "Infinity", "-Infinity", -0.0 as -0. Nothing when the runtime refuses.
// Texts are escaped the protobuf C++ way: besides the quote, the backslash and
// control characters, '<', '>', DEL, C1 controls and invisible format
// characters (U+00AD, U+200B..U+200F, U+2028.., U+FEFF ...) become \uXXXX,
// and so do the direction isolates U+2066..U+2069, which the runtime leaves;
// other non-ASCII text is written as UTF-8. In a text that is not valid
// UTF-8 (no decoded packet holds one) the bytes that do not decode are left
// out and the rest is kept: "a\xFFb" renders as "ab", "\xFF" as "".
std::optional<std::string> jsonString(const google::protobuf::Message& message);

// Routes the protobuf runtime's log messages nowhere; idempotent. The entry
// points above call it; a program may call it early to cover other uses.
void silenceProtobufLogging();

}  // namespace tovelin
