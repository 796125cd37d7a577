#include "platform/ble/radio_protocol.h"

#include <nlohmann/json.hpp>

#include <algorithm>

#include "platform/ble/base64.h"

namespace ble::radio {
namespace {

using nlohmann::json;
using nlohmann::ordered_json;

// Reads the fields of one message object; the first problem found is kept.
class Fields {
 public:
  explicit Fields(const json& object) : object_(object) {}

  const json* field(const char* key) {
    auto it = object_.find(key);
    if (it == object_.end()) {
      fail(std::string("missing field \"") + key + "\"");
      return nullptr;
    }
    return &*it;
  }

  std::optional<std::string> text(const char* key) {
    const json* value = field(key);
    if (value == nullptr) return std::nullopt;
    if (!value->is_string()) return fail(std::string("field \"") + key + "\" is not a string");
    return value->get<std::string>();
  }

  std::optional<UUID> uuid(const char* key) {
    auto value = text(key);
    if (!value) return std::nullopt;
    auto parsed = UUID::fromString(*value);
    if (!parsed) return fail(std::string("field \"") + key + "\" is not a UUID");
    return parsed;
  }

  std::optional<bool> flag(const char* key) {
    const json* value = field(key);
    if (value == nullptr) return std::nullopt;
    if (!value->is_boolean())
      return fail(std::string("field \"") + key + "\" is not true or false");
    return value->get<bool>();
  }

  std::optional<std::vector<uint8_t>> bytes(const char* key) {
    auto value = text(key);
    if (!value) return std::nullopt;
    auto decoded = base64Decode(*value);
    if (!decoded) return fail(std::string("field \"") + key + "\" is not base64");
    return decoded;
  }

  std::nullopt_t fail(std::string problem) {
    if (error_.empty()) error_ = std::move(problem);
    return std::nullopt;
  }
  [[nodiscard]] const std::string& error() const { return error_; }

 private:
  const json& object_;
  std::string error_;
};

// Whether a character would break a one-line diagnostic or forge another
// line when printed raw: the C0 and C1 controls, delete, the line and
// paragraph separators, and the direction overrides and isolates (which make
// a terminal show text in another order than it is).
bool breaksALine(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// Texts from a phone (its name, an error) are printed in one-line
// diagnostics and menus. The JSON parser has checked that they are UTF-8.
bool isPrintable(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (i + length > text.size()) return false;
    char32_t c = length == 1 ? lead : lead & (0xFFU >> (length + 1));
    for (size_t k = 1; k < length; ++k) {
      c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3FU);
    }
    if (breaksALine(c)) return false;
    i += length;
  }
  return true;
}

std::optional<AdvertisedService> readService(const json& entry, Fields& outer) {
  if (!entry.is_object()) return outer.fail("a service is not an object");
  Fields fields(entry);
  auto uuid = fields.uuid("uuid");
  const json* list = uuid ? fields.field("characteristics") : nullptr;
  if (list != nullptr && !list->is_array()) fields.fail("field \"characteristics\" is not a list");
  if (!fields.error().empty()) return outer.fail("service: " + fields.error());
  AdvertisedService service{*uuid, {}};
  for (const json& item : *list) {
    auto characteristic =
        item.is_string() ? UUID::fromString(item.get<std::string>()) : std::optional<UUID>();
    if (!characteristic) return outer.fail("service: a characteristic is not a UUID");
    if (std::find(service.characteristics.begin(), service.characteristics.end(),
                  *characteristic) != service.characteristics.end()) {
      return outer.fail("service: characteristic " + characteristic->description() +
                        " is listed twice");
    }
    service.characteristics.push_back(*characteristic);
  }
  return service;
}

Parsed<PhoneMessage> readAdvertise(const json& object) {
  Fields fields(object);
  auto id = fields.uuid("id");
  std::optional<std::string> name;
  if (const json* value = id ? fields.field("name") : nullptr) {
    if (value->is_string()) {
      name = value->get<std::string>();
      if (!isPrintable(*name)) fields.fail("field \"name\" holds control characters");
    } else if (!value->is_null()) {
      fields.fail("field \"name\" is neither a string nor null");
    }
  }
  const json* list = fields.error().empty() ? fields.field("services") : nullptr;
  if (list != nullptr && !list->is_array()) fields.fail("field \"services\" is not a list");
  if (!fields.error().empty()) return fields.error();
  Advertise advertise{*id, name, {}};
  for (const json& entry : *list) {
    auto service = readService(entry, fields);
    if (!service) return fields.error();
    for (const auto& known : advertise.services) {
      if (known.uuid == service->uuid) {
        return "service " + service->uuid.description() + " is listed twice";
      }
    }
    advertise.services.push_back(std::move(*service));
  }
  return PhoneMessage(std::move(advertise));
}

std::optional<json> parseObject(std::string_view line, std::string& type, std::string& error) {
  // The parser would stop at a NUL and take the text before it as the line.
  if (line.find('\0') != std::string_view::npos) {
    error = "the line holds a NUL character";
    return std::nullopt;
  }
  json object;
  try {
    object = json::parse(line.begin(), line.end());
  } catch (const json::out_of_range&) {
    error = "the line holds a number too large to read";
    return std::nullopt;
  } catch (const json::exception&) {
    error = "the line is not a JSON object (it is not valid JSON)";
    return std::nullopt;
  }
  if (!object.is_object()) {
    error = "the line is not a JSON object";
    return std::nullopt;
  }
  auto it = object.find("type");
  if (it == object.end() || !it->is_string()) {
    error = "the message has no \"type\" text";
    return std::nullopt;
  }
  type = it->get<std::string>();
  return object;
}

std::string unknownType(const std::string& type) {
  return "unknown message type " +
         ordered_json(type).dump(-1, ' ', true, json::error_handler_t::replace);
}

std::string dump(const ordered_json& object) {
  return object.dump(-1, ' ', false, json::error_handler_t::replace);
}

ordered_json uuidPair(const char* type, const UUID& service, const UUID& characteristic) {
  return ordered_json{{"type", type},
                      {"service", service.description()},
                      {"characteristic", characteristic.description()}};
}

}  // namespace

Parsed<PhoneMessage> parsePhoneMessage(std::string_view line) {
  std::string type;
  std::string error;
  auto object = parseObject(line, type, error);
  if (!object) return error;
  if (type == "advertise") return readAdvertise(*object);
  if (type == "disconnect") return PhoneMessage(PhoneDisconnect{});
  if (type != "notify") return unknownType(type);
  Fields fields(*object);
  auto service = fields.uuid("service");
  auto characteristic = service ? fields.uuid("characteristic") : std::nullopt;
  if (!characteristic) return fields.error();
  if (object->contains("error")) {
    // The error's text reaches a diagnostic line: one line of printable text only.
    auto text = fields.text("error");
    if (!text) return fields.error();
    if (!isPrintable(*text)) return std::string("field \"error\" holds a control character");
    std::vector<uint8_t> bytes;
    if (object->contains("value")) {
      auto value = fields.bytes("value");
      if (!value) return fields.error();
      bytes = std::move(*value);
    }
    return PhoneMessage(Notify{*service, *characteristic, std::move(bytes), std::move(*text)});
  }
  auto value = fields.bytes("value");
  if (!value) return fields.error();
  return PhoneMessage(Notify{*service, *characteristic, std::move(*value), std::nullopt});
}

Parsed<RadioMessage> parseRadioMessage(std::string_view line) {
  std::string type;
  std::string error;
  auto object = parseObject(line, type, error);
  if (!object) return error;
  if (type == "connected") return RadioMessage(Connected{});
  if (type == "disconnected") return RadioMessage(Disconnected{});
  if (type != "subscribe" && type != "write") return unknownType(type);
  Fields fields(*object);
  auto service = fields.uuid("service");
  auto characteristic = service ? fields.uuid("characteristic") : std::nullopt;
  if (!characteristic) return fields.error();
  if (type == "subscribe") {
    auto enabled = fields.flag("enabled");
    if (!enabled) return fields.error();
    return RadioMessage(Subscribe{*service, *characteristic, *enabled});
  }
  auto value = fields.bytes("value");
  auto withResponse = value ? fields.flag("withResponse") : std::nullopt;
  if (!withResponse) return fields.error();
  return RadioMessage(Write{*service, *characteristic, std::move(*value), *withResponse});
}

std::string encode(const PhoneMessage& message) {
  if (const auto* advertise = std::get_if<Advertise>(&message)) {
    ordered_json services = ordered_json::array();
    for (const auto& service : advertise->services) {
      ordered_json characteristics = ordered_json::array();
      for (const auto& c : service.characteristics) characteristics.push_back(c.description());
      services.push_back(
          {{"uuid", service.uuid.description()}, {"characteristics", characteristics}});
    }
    ordered_json object{{"type", "advertise"}, {"id", advertise->id.description()}};
    object["name"] = advertise->name ? ordered_json(*advertise->name) : ordered_json(nullptr);
    object["services"] = std::move(services);
    return dump(object);
  }
  if (const auto* notify = std::get_if<Notify>(&message)) {
    ordered_json object = uuidPair("notify", notify->service, notify->characteristic);
    object["value"] = base64Encode(notify->value);
    if (notify->error) object["error"] = *notify->error;
    return dump(object);
  }
  return dump(ordered_json{{"type", "disconnect"}});
}

std::string encode(const RadioMessage& message) {
  if (std::holds_alternative<Connected>(message)) return dump(ordered_json{{"type", "connected"}});
  if (std::holds_alternative<Disconnected>(message)) {
    return dump(ordered_json{{"type", "disconnected"}});
  }
  if (const auto* subscribe = std::get_if<Subscribe>(&message)) {
    ordered_json object = uuidPair("subscribe", subscribe->service, subscribe->characteristic);
    object["enabled"] = subscribe->enabled;
    return dump(object);
  }
  const auto& write = std::get<Write>(message);
  ordered_json object = uuidPair("write", write.service, write.characteristic);
  object["value"] = base64Encode(write.value);
  object["withResponse"] = write.withResponse;
  return dump(object);
}

}  // namespace ble::radio
