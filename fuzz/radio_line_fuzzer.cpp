// Feeds arbitrary bytes to the virtual radio's line parsers as one line.
//
// A line must either be refused with a reason, or give a message that prints
// as one line (no line feed, no NUL) which parses back to a message printing
// the same way, with no name or error holding a control byte. The same bytes
// read as base64 must, when accepted, be the one
// text that encodes the decoded bytes.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
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

bool isOneLine(const std::string& text) {
  return text.find('\n') == std::string::npos && text.find('\0') == std::string::npos;
}

template <typename Parse>
void checkRoundTrip(std::string_view line, Parse parse) {
  auto parsed = parse(line);
  if (!parsed) {
    require(!parsed.error().message.empty(), "a refusal without a reason");
    return;
  }
  const std::string printed = ble::radio::encode(*parsed);
  require(isOneLine(printed), "a message printed as more than one line");
  auto again = parse(printed);
  require(again.ok(), "a printed message does not parse back");
  require(ble::radio::encode(*again) == printed, "a message does not print the same way twice");
}

bool holdsNoControlByte(const std::optional<std::string>& text) {
  if (!text) return true;
  for (const char c : *text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  checkRoundTrip(line, [](std::string_view l) { return ble::radio::parsePhoneMessage(l); });
  if (auto phone = ble::radio::parsePhoneMessage(line)) {
    if (const auto* advertise = std::get_if<ble::radio::Advertise>(&*phone)) {
      require(holdsNoControlByte(advertise->name), "a name that breaks a line");
    } else if (const auto* notify = std::get_if<ble::radio::Notify>(&*phone)) {
      require(holdsNoControlByte(notify->error), "an error that breaks a line");
    }
  }
  checkRoundTrip(line, [](std::string_view l) { return ble::radio::parseRadioMessage(l); });
  if (auto bytes = ble::base64Decode(line)) {
    require(ble::base64Encode(*bytes) == line, "base64 accepted a text it would not write");
  }
  return 0;
}
