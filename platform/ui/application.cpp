#include "platform/ui/application.h"

#include "platform/base/run_loop.h"
#include "platform/ui/interface_file.h"
#include "platform/ui/window.h"

namespace ui {

Application& Application::shared() {
  // Never destroyed: windows and delegates may still refer to it while the
  // process exits.
  static auto* app = new std::shared_ptr<Application>(new Application());
  return **app;
}

std::vector<std::shared_ptr<Window>> Application::windows() const { return Window::allWindows(); }

void Application::terminate(const std::shared_ptr<base::Object>& /*sender*/) {
  terminating_ = true;
  base::RunLoop::main().stop();
}

bool Application::setActivationPolicy(ActivationPolicy policy) {
  switch (policy) {
    case ActivationPolicy::regular:
    case ActivationPolicy::accessory:
    case ActivationPolicy::prohibited:
      policy_ = policy;
      return true;
  }
  return false;
}

void Application::retainTopLevelObjects(const std::vector<std::shared_ptr<base::Object>>& objects) {
  topLevel_.insert(topLevel_.end(), objects.begin(), objects.end());
}

base::Result<void> Application::loadMainInterfaceFile(const std::string& name) {
  auto result = loadInterfaceFile(name, shared_from_this());
  if (!result) return result.error();
  retainTopLevelObjects(result->topLevelObjects);
  return base::ok();
}

void Application::finishLaunching() {
  if (delegate_) delegate_->applicationDidFinishLaunching(nullptr);
}

void Application::run() {
  if (terminating_) return;
  base::RunLoop::main().run();
}

void Application::sendWillTerminate() {
  if (delegate_) delegate_->applicationWillTerminate(nullptr);
}

void Application::reset() {
  delegate_.reset();
  topLevel_.clear();
  policy_ = ActivationPolicy::regular;
  terminating_ = false;
  base::RunLoop::main().reset();
}

bool Application::perform(std::string_view selector, const std::shared_ptr<base::Object>& sender) {
  if (selector == "terminate:") {
    terminate(sender);
    return true;
  }
  return base::Object::perform(selector, sender);
}

bool Application::setValueForKey(std::string_view key, const std::shared_ptr<base::Object>& value) {
  if (key == "delegate") {
    auto delegate = std::dynamic_pointer_cast<ApplicationDelegate>(value);
    if (value && !delegate) return false;
    delegate_ = std::move(delegate);
    return true;
  }
  return base::Object::setValueForKey(key, value);
}

}  // namespace ui
