// Opening addresses in the user's default application (a web page in the
// browser).
//
// The command run is the platform option --open-url-command CMD (split at
// blanks into a program and its arguments, the address appended as the last
// argument; no shell is involved), else xdg-open when it is on PATH. Without
// either the address is printed on standard error. The command is started in
// a session of its own and never waited for: when it ends, the run loop reaps
// it, and a command that exits with a status other than 0 or is killed by a
// signal gets one line on standard error.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/child_exit_watch.h"
#include "platform/base/url.h"

namespace ui {

class Workspace {
 public:
  static Workspace& shared();

  // Returns true when the command was started; false (with a message on
  // standard error) when there is none or it could not be run.
  bool openURL(const base::URL& url);

  // The address of the last openURL call, whatever its outcome (tests).
  [[nodiscard]] const std::optional<base::URL>& lastOpenedURL() const { return lastOpened_; }
  void clearLastOpenedURL() { lastOpened_.reset(); }

  // The program and arguments openURL would run for `url`; empty when there is
  // no command.
  [[nodiscard]] static std::vector<std::string> commandFor(const base::URL& url);

 private:
  std::optional<base::URL> lastOpened_;
  std::vector<std::unique_ptr<base::ChildExitWatch>> running_;
};

}  // namespace ui
