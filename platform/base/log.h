// The two output channels of the system.
//
// Standard output carries only the system's diagnostic lines, each written
// whole and flushed at once so that a reader on a pipe sees every line as it
// happens. Everything else a person should read (console listings, errors at
// the edges) goes to standard error.
#pragma once

#include <string_view>

namespace base {

// Writes `line` and one line feed to standard output, in one write.
void printLine(std::string_view line);

// Writes `line` and one line feed to standard error, in one write.
void printError(std::string_view line);

}  // namespace base
