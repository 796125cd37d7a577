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

bool WindowController::perform(std::string_view selector,
                               const std::shared_ptr<base::Object>& sender) {
  if (selector == "showWindow:") {
    showWindow(sender);
    return true;
  }
  if (selector == "close:") {
    close();
    return true;
  }
  return base::Object::perform(selector, sender);
}

bool WindowController::setValueForKey(std::string_view key,
                                      const std::shared_ptr<base::Object>& value) {
  if (key == "window") {
    auto w = std::dynamic_pointer_cast<Window>(value);
    if (value && !w) return false;
    window_ = std::move(w);
    return true;
  }
  return base::Object::setValueForKey(key, value);
}

}  // namespace ui
