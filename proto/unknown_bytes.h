// The unknown fields of a message as the bytes they encode to.
//
// The full protobuf runtime keeps unknown fields as parsed records (number,
// wire type, value) in arrival order, not as the bytes received, and writes
// them back in the shortest encoding. For everything a conforming encoder
// sends this is the received bytes exactly; an overlong varint (say 80 00 for
// 0) in an unknown field comes back in its short form.
#pragma once

#include <google/protobuf/unknown_field_set.h>

#include <string>

namespace tovelin {

std::string unknownBytes(const google::protobuf::UnknownFieldSet& fields);

}  // namespace tovelin
