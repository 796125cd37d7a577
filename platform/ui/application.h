// The shared application: the process's one application object.
//
// It lists the application's windows, holds its delegate (strongly: the
// delegate usually comes from the main interface file and nothing else owns
// it), keeps the main interface file's top-level objects alive, knows the
// activation policy and ends the main run loop on terminate(). The platform's
// main entry loads the main interface file with the application as the file's
// owner, sends applicationDidFinishLaunching, runs the loop and, once
// terminated, sends applicationWillTerminate.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/object.h"
#include "platform/base/result.h"

namespace ui {

class Window;

enum class ActivationPolicy : long {
  regular = 0,     // a Dock icon and a menu bar of its own
  accessory = 1,   // no Dock icon; its status item and windows stay
  prohibited = 2,  // no Dock icon and no windows of its own
};

// What the application tells its delegate. The notification argument carries
// nothing the stand-in fills in; it is there so that delegates keep the
// platform's form.
class ApplicationDelegate {
 public:
  virtual ~ApplicationDelegate() = default;
  virtual void applicationDidFinishLaunching(
      const std::shared_ptr<base::Object>& /*notification*/) {}
  virtual void applicationWillTerminate(const std::shared_ptr<base::Object>& /*notification*/) {}
  virtual bool applicationSupportsSecureRestorableState(
      const std::shared_ptr<base::Object>& /*app*/) {
    return false;
  }
};

class Application : public base::Object {
 public:
  // The one application object (owned by a shared pointer, so it can be an
  // interface file's owner and an action's target).
  static Application& shared();

  // The application's windows, in the order they were made.
  [[nodiscard]] std::vector<std::shared_ptr<Window>> windows() const;

  [[nodiscard]] const std::shared_ptr<ApplicationDelegate>& delegate() const { return delegate_; }
  void setDelegate(std::shared_ptr<ApplicationDelegate> delegate) {
    delegate_ = std::move(delegate);
  }

  // Ends the main run loop (and every modal run nested in it). The main entry
  // then sends applicationWillTerminate and returns.
  void terminate(const std::shared_ptr<base::Object>& sender);
  [[nodiscard]] bool isTerminating() const { return terminating_; }

  [[nodiscard]] ActivationPolicy activationPolicy() const { return policy_; }
  // Returns false (and changes nothing) for a value outside the three policies.
  bool setActivationPolicy(ActivationPolicy policy);

  // Keeps objects alive for the life of the application (the main interface
  // file's top-level objects).
  void retainTopLevelObjects(const std::vector<std::shared_ptr<base::Object>>& objects);
  [[nodiscard]] const std::vector<std::shared_ptr<base::Object>>& topLevelObjects() const {
    return topLevel_;
  }

  // Loads the interface file NAME with the application as its owner and keeps
  // its top-level objects. Fails when the file cannot be used (the loader has
  // said why on standard error).
  base::Result<void> loadMainInterfaceFile(const std::string& name);

  // Sends the delegate applicationDidFinishLaunching (when there is one).
  void finishLaunching();
  // Runs the main run loop until terminate(); returns at once when terminate()
  // came first.
  void run();
  // Sends the delegate applicationWillTerminate (when there is one).
  void sendWillTerminate();

  // Back to a fresh application: no delegate, no top-level objects, regular
  // policy, not terminating; the main run loop's stop is cleared (tests).
  void reset();

  // "terminate:" terminates. Outlet "delegate" takes an ApplicationDelegate.
  static const base::ClassTable kClassTable;
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  static const base::Action kActions[];
  static const base::Outlet kOutlets[];
  Application() = default;

  std::shared_ptr<ApplicationDelegate> delegate_;
  std::vector<std::shared_ptr<base::Object>> topLevel_;
  ActivationPolicy policy_ = ActivationPolicy::regular;
  bool terminating_ = false;
};

}  // namespace ui
