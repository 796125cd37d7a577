// The virtual radio's messages, one JSON object a line.
//
// A phone sends advertise, notify and disconnect; the radio sends connected,
// disconnected, subscribe and write. These are the typed forms with their
// parsers and printers, shared by the radio, the phone simulator and tests.
// Parsing never throws: a line that is not exactly one well-formed message
// gives an error text naming what is wrong.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/base/result.h"
#include "platform/ble/uuid.h"

namespace ble::radio {

struct AdvertisedService {
  UUID uuid;
  std::vector<UUID> characteristics;
  bool operator==(const AdvertisedService&) const = default;
};

struct Advertise {
  UUID id;
  std::optional<std::string> name;
  std::vector<AdvertisedService> services;
};

struct Notify {
  UUID service;
  UUID characteristic;
  std::vector<uint8_t> value;
  // A failed update: the central hears this error and the value stays as it was.
  std::optional<std::string> error;
};

struct PhoneDisconnect {};

using PhoneMessage = std::variant<Advertise, Notify, PhoneDisconnect>;

struct Connected {};
struct Disconnected {};

struct Subscribe {
  UUID service;
  UUID characteristic;
  bool enabled = false;
};

struct Write {
  UUID service;
  UUID characteristic;
  std::vector<uint8_t> value;
  bool withResponse = true;
};

using RadioMessage = std::variant<Connected, Disconnected, Subscribe, Write>;

// A parsed message, or the reason the line is not one.
base::Result<PhoneMessage> parsePhoneMessage(std::string_view line);
base::Result<RadioMessage> parseRadioMessage(std::string_view line);

// One line of JSON text, without the line feed.
std::string encode(const PhoneMessage& message);
std::string encode(const RadioMessage& message);

}  // namespace ble::radio
