// The updater controller that the main interface file creates and the
// application delegate holds. The status menu's "Check for updates..." sends
// it checkForUpdates:, which runs a user-initiated check (see update_check.h)
// and tells the user the outcome in an alert with one "OK" button.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/base/coder.h"
#include "platform/base/object.h"

namespace update {

class StandardUpdaterController : public base::Object {
 public:
  StandardUpdaterController() = default;
  explicit StandardUpdaterController(const base::Coder& /*coder*/) {}

  // Checks now and shows the outcome modally; the sender is not read. A check
  // asked for while one is showing its answer is ignored.
  void checkForUpdates(const std::shared_ptr<base::Object>& sender);

  // "checkForUpdates:".
  static const base::ClassTable kClassTable;
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  static const base::Action kActions[];
  bool checking_ = false;
};

// Enters "SPUStandardUpdaterController" in the interface files' class registry.
void registerClasses();

}  // namespace update
