// The computer's name as the user knows it.
//
// The platform option --host-name TEXT stands in for it and --no-host-name for
// a computer without one; otherwise it is the system's pretty host name
// (PRETTY_HOSTNAME in /etc/machine-info), else the host name. An empty name
// counts as none.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace base {

class Host {
 public:
  static Host& current();
  // A host that reads its pretty name from `machineInfoPath` (tests).
  explicit Host(std::string machineInfoPath) : machineInfoPath_(std::move(machineInfoPath)) {}

  [[nodiscard]] std::optional<std::string> localizedName() const;

  // PRETTY_HOSTNAME out of a machine-info text (shell-style assignments,
  // values possibly quoted); none when absent or empty.
  static std::optional<std::string> prettyHostName(std::string_view machineInfo);

 private:
  std::string machineInfoPath_;
};

}  // namespace base
