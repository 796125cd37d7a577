// Feeds arbitrary bytes to the virtual radio's line parsers, as a phone (or a
// radio, for the simulator) could send them.
//
// A line is either refused with a reason or gives a message whose text form
// parses back to the same text; a name or an error that is accepted holds no
// byte that could break a diagnostic line. Base64 that decodes encodes back to
// text that decodes to the same bytes.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

#include "platform/ble/base64.h"
#include "platform/ble/radio_protocol.h"

namespace {

void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "radio_line_fuzzer: %s\n", what);
    std::abort();
  }
}

bool onOneLine(const std::string& text) {
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return false;
  }
  return true;
}

template <typename Message>
void checkRoundTrip(const ble::radio::Parsed<Message>& parsed,
                    ble::radio::Parsed<Message> (*parse)(std::string_view)) {
  if (const auto* reason = std::get_if<std::string>(&parsed)) {
    require(!reason->empty(), "a refusal without a reason");
    return;
  }
  const std::string text = ble::radio::encode(std::get<Message>(parsed));
  const auto again = parse(text);
  require(std::holds_alternative<Message>(again), "an accepted message does not parse back");
  require(ble::radio::encode(std::get<Message>(again)) == text, "the text form is not stable");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);

  const auto phone = ble::radio::parsePhoneMessage(line);
  checkRoundTrip(phone, &ble::radio::parsePhoneMessage);
  if (const auto* message = std::get_if<ble::radio::PhoneMessage>(&phone)) {
    if (const auto* advertise = std::get_if<ble::radio::Advertise>(message)) {
      require(!advertise->name || onOneLine(*advertise->name), "a name that breaks a line");
    }
    if (const auto* notify = std::get_if<ble::radio::Notify>(message)) {
      require(!notify->error || onOneLine(*notify->error), "an error that breaks a line");
    }
  }
  checkRoundTrip(ble::radio::parseRadioMessage(line), &ble::radio::parseRadioMessage);

  if (const auto bytes = ble::base64Decode(line)) {
    const auto back = ble::base64Decode(ble::base64Encode(*bytes));
    require(back.has_value() && *back == *bytes, "base64 does not round-trip");
  }
  return 0;
}
