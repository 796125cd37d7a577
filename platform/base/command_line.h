// What every program of the project does with a command line it cannot use,
// and with --help, so that they all answer in the same shape: a refusal is
// one line "PROGRAM: WHY" and the usage on standard error, exit status 2;
// the usage asked for goes to standard output, exit status 0.
#pragma once

#include <string>
#include <string_view>

namespace base {

// The reason for refusing an argument that no option takes: an unknown
// option ("--defualts") or a stray argument ("FILE").
std::string unknownArgument(const std::string& arg);

// Says why the command line is refused, then the usage, on standard error;
// returns the exit status 2.
int refuseCommandLine(std::string_view program, std::string_view why, std::string_view usage);

// Writes the usage on standard output; returns the exit status 0.
int printUsage(std::string_view usage);

}  // namespace base
