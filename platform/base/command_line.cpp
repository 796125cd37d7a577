#include "platform/base/command_line.h"

#include "platform/base/log.h"

namespace base {

std::string unknownArgument(const std::string& arg) {
  if (arg.size() > 1 && arg[0] == '-') return "unknown option \"" + arg + "\"";
  return "unexpected argument \"" + arg + "\"";
}

// Both end the program at once: the lines are written before it exits even
// when the reader is slow (within flushOutput's waits).
int refuseCommandLine(std::string_view program, std::string_view why, std::string_view usage) {
  printError(std::string(program) + ": " + std::string(why));
  printError(usage);
  flushOutput();
  return 2;
}

int printUsage(std::string_view usage) {
  printLine(usage);
  flushOutput();
  return 0;
}

}  // namespace base
