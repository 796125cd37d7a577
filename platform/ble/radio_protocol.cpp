#include "platform/ble/radio_protocol.h"

#include <nlohmann/json.hpp>

#include <unicode/utf8.h>

#include <algorithm>
#include <cstdio>

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

// Names and error texts are printed in one-line diagnostics and menus. Code
// points that end a line, or that reorder what follows on screen, would let a
// phone forge another line, so they are refused along with invalid UTF-8.
bool isForbiddenInLine(UChar32 c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// Fails, saying why, unless `text` is one line of printable text.
base::Result<void> checkLineText(std::string_view text) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  for (int32_t i = 0; i < length;) {
    UChar32 c = 0;
    U8_NEXT(bytes, i, length, c);
    if (c < 0) return base::fail("is not valid UTF-8");
    if (isForbiddenInLine(c)) {
      char code[16];
      std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
      return base::fail(std::string("holds control characters (") + code + ")");
    }
  }
  return base::ok();
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

base::Result<PhoneMessage> readAdvertise(const json& object) {
  Fields fields(object);
  auto id = fields.uuid("id");
  std::optional<std::string> name;
  if (const json* value = id ? fields.field("name") : nullptr) {
    if (value->is_string()) {
      name = value->get<std::string>();
      if (auto oneLine = checkLineText(*name); !oneLine) {
        fields.fail("field \"name\" " + oneLine.error().message);
      }
    } else if (!value->is_null()) {
      fields.fail("field \"name\" is neither a string nor null");
    }
  }
  const json* list = fields.error().empty() ? fields.field("services") : nullptr;
  if (list != nullptr && !list->is_array()) fields.fail("field \"services\" is not a list");
  if (!fields.error().empty()) return base::fail(fields.error());
  Advertise advertise{*id, name, {}};
  for (const json& entry : *list) {
    auto service = readService(entry, fields);
    if (!service) return base::fail(fields.error());
    for (const auto& known : advertise.services) {
      if (known.uuid == service->uuid) {
        return base::fail("service " + service->uuid.description() + " is listed twice");
      }
    }
    advertise.services.push_back(std::move(*service));
  }
  return PhoneMessage(std::move(advertise));
}

// `text` as a JSON string, printable whatever it holds.
std::string jsonText(const std::string& text) {
  return ordered_json(text).dump(-1, ' ', true, json::error_handler_t::replace);
}

base::Error unknownType(const std::string& type) {
  return base::fail("unknown message type " + jsonText(type));
}

// The line as a JSON object with a "type" text, or what is wrong with it.
base::Result<std::pair<json, std::string>> parseObject(std::string_view line) {
  // nlohmann's parser stops at a NUL and ignores the rest: refuse it here.
  if (line.find('\0') != std::string_view::npos) return base::fail("the line holds a NUL byte");
  std::string lastKey;
  json object;
  try {
    object = json::parse(line.begin(), line.end(),
                         [&lastKey](int /*depth*/, json::parse_event_t event, json& parsed) {
                           if (event == json::parse_event_t::key)
                             lastKey = parsed.get<std::string>();
                           return true;
                         });
  } catch (const json::out_of_range& e) {
    // The one parse failure that is not bad syntax: a number too large for a double.
    if (e.id == 406) {
      return base::fail("field " + jsonText(lastKey) + " holds a number that is out of range");
    }
    return base::fail("the line is not a JSON object");
  } catch (const json::exception&) {
    return base::fail("the line is not a JSON object");
  }
  if (!object.is_object()) return base::fail("the line is not a JSON object");
  auto it = object.find("type");
  if (it == object.end() || !it->is_string()) {
    return base::fail("the message has no \"type\" text");
  }
  std::string type = it->get<std::string>();
  return std::pair{std::move(object), std::move(type)};
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

base::Result<PhoneMessage> parsePhoneMessage(std::string_view line) {
  auto parsed = parseObject(line);
  if (!parsed) return parsed.error();
  const auto& [object, type] = *parsed;
  if (type == "advertise") return readAdvertise(object);
  if (type == "disconnect") return PhoneMessage(PhoneDisconnect{});
  if (type != "notify") return unknownType(type);
  Fields fields(object);
  auto service = fields.uuid("service");
  auto characteristic = service ? fields.uuid("characteristic") : std::nullopt;
  if (!characteristic) return base::fail(fields.error());
  std::optional<std::string> error;
  if (object.contains("error")) {
    // The error's text reaches a diagnostic line: one line of printable text only.
    error = fields.text("error");
    if (!error) return base::fail(fields.error());
    if (auto oneLine = checkLineText(*error); !oneLine) {
      return base::fail("field \"error\" " + oneLine.error().message);
    }
  }
  std::vector<uint8_t> bytes;
  // A failed update may leave the value out.
  if (!error || object.contains("value")) {
    auto value = fields.bytes("value");
    if (!value) return base::fail(fields.error());
    bytes = std::move(*value);
  }
  return PhoneMessage(Notify{*service, *characteristic, std::move(bytes), std::move(error)});
}

base::Result<RadioMessage> parseRadioMessage(std::string_view line) {
  auto parsed = parseObject(line);
  if (!parsed) return parsed.error();
  const auto& [object, type] = *parsed;
  if (type == "connected") return RadioMessage(Connected{});
  if (type == "disconnected") return RadioMessage(Disconnected{});
  if (type != "subscribe" && type != "write") return unknownType(type);
  Fields fields(object);
  auto service = fields.uuid("service");
  auto characteristic = service ? fields.uuid("characteristic") : std::nullopt;
  if (!characteristic) return base::fail(fields.error());
  if (type == "subscribe") {
    auto enabled = fields.flag("enabled");
    if (!enabled) return base::fail(fields.error());
    return RadioMessage(Subscribe{*service, *characteristic, *enabled});
  }
  auto value = fields.bytes("value");
  auto withResponse = value ? fields.flag("withResponse") : std::nullopt;
  if (!withResponse) return base::fail(fields.error());
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
