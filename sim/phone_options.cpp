#include "sim/phone_options.h"

#include <array>
#include <charconv>

#include "platform/base/command_line.h"

namespace sim {

const char* const kPhoneUsage =
    "usage: tovelin-phone [OPTION]...\n"
    "  --radio PATH     the radio's socket, tried until it exists (default: as tovelin's)\n"
    "  --name TEXT      the advertised name (default: Simulated Phone)\n"
    "  --id UUID        the identifier (default: derived from the name)\n"
    "  --pin TEXT       the PIN the phone accepts (default: 1234)\n"
    "  --version N      the version in the authentication request (default: 1)\n"
    "  --rate N         acceleration updates a second, 1 to 1000 (default: 60)\n"
    "  --trace FILE     a CSV trace t,x,y,z to drive instead of the built-in drive\n"
    "  --no-handshake   stream as soon as subscribed, without authentication\n"
    "  --once           end after one run of the drive or trace\n"
    "  -h, --help       print this and exit\n"
    "Commands on standard input: away, back, raw HEX, disconnect, quit.";

namespace {

template <typename T>
bool parseInteger(const std::string& text, T& value) {
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && result.ec == std::errc() && result.ptr == text.data() + text.size();
}

uint64_t fnv1a(const std::string& text, uint64_t basis) {
  uint64_t h = basis;
  for (const char c : text) h = (h ^ static_cast<uint8_t>(c)) * 1099511628211ULL;
  return h;
}

}  // namespace

ble::UUID identifierForName(const std::string& name) {
  const std::string key = "tovelin-phone:" + name;
  const uint64_t halves[2] = {fnv1a(key, 14695981039346656037ULL),
                              fnv1a(key, 0x84222325CBF29CE4ULL)};
  std::array<uint8_t, 16> bytes{};
  for (size_t i = 0; i < 16; ++i) {
    bytes[i] = static_cast<uint8_t>(halves[i / 8] >> (8 * (7 - i % 8)));
  }
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x80);  // version 8: custom
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  return ble::UUID::fromBytes(bytes);
}

base::Result<PhoneOptions> parsePhoneOptions(const std::vector<std::string>& args) {
  PhoneOptions options;
  std::optional<ble::UUID> id;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool takesValue = arg == "--radio" || arg == "--name" || arg == "--id" ||
                            arg == "--pin" || arg == "--version" || arg == "--rate" ||
                            arg == "--trace";
    if (takesValue && i + 1 >= args.size()) return base::fail(arg + " needs a value");
    const std::string value = takesValue ? args[++i] : std::string();
    if (arg == "--radio") {
      options.radioPath = value;
    } else if (arg == "--name") {
      options.name = value;
    } else if (arg == "--id") {
      id = ble::UUID::fromString(value);
      if (!id) return base::fail("--id expects a UUID (8-4-4-4-12 hex), not \"" + value + "\"");
    } else if (arg == "--pin") {
      options.pin = value;
    } else if (arg == "--version") {
      if (!parseInteger(value, options.version)) {
        return base::fail("--version expects a whole number (32-bit), not \"" + value + "\"");
      }
    } else if (arg == "--rate") {
      if (!parseInteger(value, options.rate) || options.rate < 1 || options.rate > 1000) {
        return base::fail("--rate expects updates a second from 1 to 1000, not \"" + value + "\"");
      }
    } else if (arg == "--trace") {
      options.trace = value;
    } else if (arg == "--no-handshake") {
      options.handshake = false;
    } else if (arg == "--once") {
      options.once = true;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else {
      return base::fail(base::unknownArgument(arg));
    }
  }
  for (const char c : options.name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      return base::fail("--name may not hold control characters");
    }
  }
  options.id = id ? *id : identifierForName(options.name);
  return options;
}

}  // namespace sim
