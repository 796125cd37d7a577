#include "platform/base/options.h"

#include <charconv>

namespace base {

PlatformOptions& platformOptions() {
  static PlatformOptions options;
  return options;
}

namespace {

bool parseScreen(const std::string& text, int& width, int& height) {
  const auto x = text.find('x');
  if (x == std::string::npos) return false;
  int w = 0;
  int h = 0;
  const auto* begin = text.data();
  const auto* mid = text.data() + x;
  const auto* end = text.data() + text.size();
  auto r1 = std::from_chars(begin, mid, w);
  auto r2 = std::from_chars(mid + 1, end, h);
  if (r1.ec != std::errc() || r1.ptr != mid || r2.ec != std::errc() || r2.ptr != end) return false;
  if (w <= 0 || h <= 0 || w > 16384 || h > 16384) return false;
  width = w;
  height = h;
  return true;
}

}  // namespace

Result<void> parsePlatformOptions(const std::vector<std::string>& args, PlatformOptions& into) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::optional<std::string>& field) -> Result<void> {
      if (i + 1 >= args.size()) return fail(arg + " needs a value");
      field = args[++i];
      return ok();
    };
    Result<void> read;
    if (arg == "--radio") {
      read = value(into.radioPath);
    } else if (arg == "--defaults") {
      read = value(into.defaultsFile);
    } else if (arg == "--host-name") {
      read = value(into.hostName);
      into.noHostName = false;
    } else if (arg == "--no-host-name") {
      into.noHostName = true;
      into.hostName.reset();
    } else if (arg == "--bundle") {
      read = value(into.bundleDir);
    } else if (arg == "--open-url-command") {
      read = value(into.openUrlCommand);
    } else if (arg == "--screen") {
      if (i + 1 >= args.size()) return fail("--screen needs a value");
      const std::string& size = args[++i];
      if (!parseScreen(size, into.screenWidth, into.screenHeight)) {
        return fail("--screen expects WIDTHxHEIGHT (for example 1920x1080), not \"" + size + "\"");
      }
    }
    if (!read) return read;
  }
  return ok();
}

}  // namespace base
