// The stand-in platform's own command-line options.
//
// The application reads no option: its arguments go unread to the platform's
// main entry, which fills this record (and tests fill it directly). Each
// platform role reads the fields it stands in for.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/base/result.h"

namespace base {

struct PlatformOptions {
  std::optional<std::string> radioPath;  // --radio PATH (else TOVELIN_RADIO, else default)
  int screenWidth = 1920;                // --screen WIDTHxHEIGHT
  int screenHeight = 1080;
  std::optional<std::string> defaultsFile;    // --defaults FILE
  std::optional<std::string> hostName;        // --host-name TEXT
  bool noHostName = false;                    // --no-host-name
  std::optional<std::string> bundleDir;       // --bundle DIR
  std::optional<std::string> openUrlCommand;  // --open-url-command CMD
  bool help = false;                          // --help, -h
};

// The options as `--help` lists them.
extern const char* const kPlatformUsage;

// The options in force for this process.
PlatformOptions& platformOptions();

// Parses the platform options (the arguments after the program's name).
// Fails, naming it, on an argument that is no option, a missing value, an
// empty one (except for --host-name, where it means no name) and a screen
// size it cannot use.
Result<void> parsePlatformOptions(const std::vector<std::string>& args, PlatformOptions& into);

}  // namespace base
