#include "platform/ui/window_controller.h"

#include "platform/base/log.h"
#include "platform/ui/interface_file.h"

namespace ui {

WindowController::WindowController(std::shared_ptr<Window> window) : window_(std::move(window)) {}

WindowController::WindowController(const base::Coder& coder) {
  if (auto name = coder.decodeString("windowNibName")) nibName_ = std::move(*name);
}

std::shared_ptr<Window> WindowController::window() {
  if (!window_ && nibName_ && !loadTried_) loadWindow();
  return window_;
}

void WindowController::setWindow(std::shared_ptr<Window> window) { window_ = std::move(window); }

void WindowController::loadWindow() {
  loadTried_ = true;
  auto result = loadInterfaceFile(*nibName_, shared_from_this());
  if (!result) return;  // reported by the loader
  topLevelObjects_ = std::move(result->topLevelObjects);
  if (!window_) {
    base::printError("interface file " + *nibName_ +
                     ": no window is connected to its owner's outlet \"window\"");
    return;
  }
  windowDidLoad();
}

void WindowController::showWindow(const std::shared_ptr<base::Object>& sender) {
  if (auto w = window()) w->makeKeyAndOrderFront(sender);
}

void WindowController::close() {
  if (window_) window_->close();
}

const base::Action WindowController::kActions[] = {
    base::action<&WindowController::showWindow>("showWindow:"),
    {"close:",
     [](base::Object& self, const std::shared_ptr<base::Object>& /*sender*/) {
       static_cast<WindowController&>(self).close();
     }},
};
const base::Outlet WindowController::kOutlets[] = {
    base::outlet<&WindowController::window_>("window"),
};
const base::ClassTable WindowController::kClassTable{
    "NSWindowController", &base::Object::kClassTable, kActions, kOutlets};

}  // namespace ui
