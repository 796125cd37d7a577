// A user-initiated update check, apart from how its answer is shown: reads
// the current version ("ShortVersionString") and the feed's address
// ("FeedURL") from the bundle's information file, reads the feed and compares
// the newest version in it with the current one. The outcome carries the
// texts of the alert that tells the user.
#pragma once

#include <string>

#include "platform/base/bundle.h"

namespace update {

struct UpdateCheckOutcome {
  enum class Kind { upToDate, updateAvailable, failed };
  Kind kind = Kind::failed;
  std::string messageText;
  std::string informativeText;
};

UpdateCheckOutcome checkForUpdate(const base::Bundle& bundle);

}  // namespace update
