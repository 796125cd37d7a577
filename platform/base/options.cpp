#include "platform/base/options.h"

#include <algorithm>
#include <charconv>

#include "platform/base/command_line.h"

namespace base {

const char* const kPlatformUsage =
    "usage: tovelin [OPTION]...\n"
    "  --radio PATH            the virtual radio's socket (default: $TOVELIN_RADIO,\n"
    "                          else $XDG_RUNTIME_DIR/tovelin/radio.sock,\n"
    "                          else /tmp/tovelin-UID/radio.sock)\n"
    "  --screen WIDTHxHEIGHT   the main screen, sides of 1 to 16384 (default: 1920x1080)\n"
    "  --defaults FILE         the user defaults, which keep the PIN (default:\n"
    "                          $XDG_CONFIG_HOME/tovelin/defaults.json,\n"
    "                          else ~/.config/tovelin/defaults.json)\n"
    "  --host-name TEXT        the computer's name sent to the phone; \"\" for none\n"
    "                          (default: the pretty host name, else the host name)\n"
    "  --no-host-name          send no computer name\n"
    "  --bundle DIR            the application's resources\n"
    "                          (default: resources beside the program)\n"
    "  --open-url-command CMD  opens the download page (default: xdg-open when\n"
    "                          present, else the address is printed on standard error)\n"
    "  -h, --help              print this and exit\n"
    "Commands are read from standard input (docs/console.md).";

PlatformOptions& platformOptions() {
  static PlatformOptions options;
  return options;
}

namespace {

constexpr int kMaxScreenSide = 16384;

// A side of --screen: its digits, or past the limit when there are too many.
int screenSide(std::string_view digits) {
  int side = 0;
  const auto read = std::from_chars(digits.data(), digits.data() + digits.size(), side);
  return read.ec == std::errc() ? side : kMaxScreenSide + 1;
}

Result<void> parseScreen(const std::string& text, PlatformOptions& into) {
  const auto isNumber = [](std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  const auto x = text.find('x');
  const std::string_view width = std::string_view(text).substr(0, x);
  const std::string_view height =
      x == std::string::npos ? std::string_view() : std::string_view(text).substr(x + 1);
  if (!isNumber(width) || !isNumber(height)) {
    return fail("--screen expects WIDTHxHEIGHT (for example 1920x1080), not \"" + text + "\"");
  }
  const int w = screenSide(width);
  const int h = screenSide(height);
  if (w < 1 || h < 1 || w > kMaxScreenSide || h > kMaxScreenSide) {
    return fail("--screen expects sides of 1 to " + std::to_string(kMaxScreenSide) +
                " points, not \"" + text + "\"");
  }
  into.screenWidth = w;
  into.screenHeight = h;
  return ok();
}

// Where the option `name` keeps its text, or null when it takes none.
std::optional<std::string>* textField(const std::string& name, PlatformOptions& into) {
  if (name == "--radio") return &into.radioPath;
  if (name == "--defaults") return &into.defaultsFile;
  if (name == "--host-name") return &into.hostName;
  if (name == "--bundle") return &into.bundleDir;
  if (name == "--open-url-command") return &into.openUrlCommand;
  return nullptr;
}

}  // namespace

Result<void> parsePlatformOptions(const std::vector<std::string>& args, PlatformOptions& into) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      into.help = true;
      continue;
    }
    if (arg == "--no-host-name") {
      into.noHostName = true;
      into.hostName.reset();
      continue;
    }
    auto* text = textField(arg, into);
    if (text == nullptr && arg != "--screen") return fail(unknownArgument(arg));
    if (i + 1 >= args.size()) return fail(arg + " needs a value");
    const std::string& value = args[++i];
    // An empty host name is a computer without one; anywhere else an empty
    // value would quietly stand for the default.
    if (value.empty() && arg != "--host-name") return fail(arg + " needs a non-empty value");
    if (text == nullptr) {
      if (auto screen = parseScreen(value, into); !screen) return screen;
      continue;
    }
    *text = value;
    if (arg == "--host-name") into.noHostName = false;
  }
  return ok();
}

}  // namespace base
