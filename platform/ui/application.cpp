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

const base::Action Application::kActions[] = {
    base::action<&Application::terminate>("terminate:"),
};
const base::Outlet Application::kOutlets[] = {
    base::outlet<&Application::delegate_>("delegate"),
};
const base::ClassTable Application::kClassTable{"NSApplication", &base::Object::kClassTable,
                                                kActions, kOutlets};

}  // namespace ui
