#include "platform/update/standard_updater_controller.h"

#include "platform/base/bundle.h"
#include "platform/ui/alert.h"
#include "platform/ui/interface_file.h"
#include "platform/update/update_check.h"

namespace update {

void StandardUpdaterController::checkForUpdates(const std::shared_ptr<base::Object>& /*sender*/) {
  if (checking_) return;
  // The alert runs the loop nested: stay alive until it is answered.
  const auto keepAlive = weak_from_this().lock();
  checking_ = true;
  const UpdateCheckOutcome outcome = checkForUpdate(base::Bundle::main());
  ui::Alert alert;
  alert.setMessageText(outcome.messageText);
  alert.setInformativeText(outcome.informativeText);
  alert.setAlertStyle(outcome.kind == UpdateCheckOutcome::Kind::failed
                          ? ui::AlertStyle::warning
                          : ui::AlertStyle::informational);
  alert.addButtonWithTitle("OK");
  alert.runModal();
  checking_ = false;
}

const base::Action StandardUpdaterController::kActions[] = {
    base::action<&StandardUpdaterController::checkForUpdates>("checkForUpdates:"),
};
const base::ClassTable StandardUpdaterController::kClassTable{"SPUStandardUpdaterController",
                                                              &base::Object::kClassTable, kActions};

void registerClasses() { ui::ClassRegistry::shared().registerClass<StandardUpdaterController>(); }

}  // namespace update
