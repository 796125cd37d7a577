#include "app/app_delegate.h"

#include "platform/ui/screen.h"
#include "platform/ui/window.h"

namespace tovelin {

const base::Outlet AppDelegate::kOutlets[] = {
    base::outlet<&AppDelegate::updater>("updater"),
};
const base::ClassTable AppDelegate::kClassTable{
    "AppDelegate", &base::Object::kClassTable, {}, kOutlets};

void AppDelegate::applicationDidFinishLaunching(
    const std::shared_ptr<base::Object>& /*notification*/) {
  const auto windows = ui::Application::shared().windows();
  if (windows.empty()) return;
  const auto& overlay = windows.front();
  const base::Rect frame = ui::Screen::mainScreen()->frame();

  overlay->setFrame(frame, true);
  overlay->setOpaque(false);
  overlay->setHasShadow(false);
  overlay->setCollectionBehavior(ui::WindowCollectionBehaviorCanJoinAllSpaces);
  overlay->setBackgroundColor(ui::Color::clearColor());
  overlay->setIgnoresMouseEvents(true);
  overlay->setLevel(static_cast<long>(ui::shieldingWindowLevel()) + 1);
}

void AppDelegate::applicationWillTerminate(const std::shared_ptr<base::Object>& /*notification*/) {}

bool AppDelegate::applicationSupportsSecureRestorableState(
    const std::shared_ptr<base::Object>& /*application*/) {
  return true;
}

}  // namespace tovelin
