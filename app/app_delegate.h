// The application delegate: turns the application's first window into the
// overlay once launching has finished, and holds the updater controller that
// the main interface file creates for the status menu's update check.
#pragma once

#include <memory>

#include "platform/base/coder.h"
#include "platform/base/object.h"
#include "platform/ui/application.h"
#include "platform/update/standard_updater_controller.h"

namespace tovelin {

class AppDelegate : public base::Object, public ui::ApplicationDelegate {
 public:
  AppDelegate() = default;
  explicit AppDelegate(const base::Coder& /*coder*/) {}

  // An outlet: set only by the main interface file.
  std::shared_ptr<update::StandardUpdaterController> updater;

  void applicationDidFinishLaunching(const std::shared_ptr<base::Object>& notification) override;
  void applicationWillTerminate(const std::shared_ptr<base::Object>& notification) override;
  bool applicationSupportsSecureRestorableState(
      const std::shared_ptr<base::Object>& application) override;

  static const base::ClassTable kClassTable;
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  static const base::Outlet kOutlets[];
};

}  // namespace tovelin
