// The simulated phone's command line.
//
//   tovelin-phone [--radio PATH] [--name TEXT] [--id UUID] [--pin TEXT]
//                 [--version N] [--rate N] [--trace FILE] [--no-handshake] [--once]
//
// Without --id the identifier is derived from the name, so the same name is
// the same phone from one run to the next.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/result.h"
#include "platform/ble/uuid.h"

namespace sim {

struct PhoneOptions {
  std::optional<std::string> radioPath;
  std::string name = "Simulated Phone";
  ble::UUID id = ble::UUID::withString("00000000-0000-0000-0000-000000000000");
  std::string pin = "1234";
  int32_t version = 1;
  int rate = 60;  // acceleration updates a second
  std::optional<std::string> trace;
  bool handshake = true;
  bool once = false;
  bool help = false;
};

// The options, or a one-line reason they cannot be used.
base::Result<PhoneOptions> parsePhoneOptions(const std::vector<std::string>& args);

// A fixed identifier for a name (a version-8, name-based UUID).
ble::UUID identifierForName(const std::string& name);

extern const char* const kPhoneUsage;

}  // namespace sim
