// Feeds arbitrary bytes to the user defaults' file parser, as a damaged or
// hostile defaults file would hold them.
//
// The text is either refused with a reason or gives values that, written the
// way the defaults write their file, read back as the same values.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/base/user_defaults.h"

namespace {

void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "defaults_fuzzer: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto values = base::parseDefaults(text);
  if (!values) {
    require(!values.error().message.empty(), "a refusal without a reason");
    return 0;
  }
  const auto again = base::parseDefaults(base::formatDefaults(*values));
  require(again.ok() && *again == *values, "the values do not read back as written");
  return 0;
}
