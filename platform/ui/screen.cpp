#include "platform/ui/screen.h"

#include <algorithm>

#include "platform/base/options.h"

namespace ui {

std::shared_ptr<Screen> Screen::mainScreen() {
  const auto& options = base::platformOptions();
  return std::make_shared<Screen>(options.screenWidth, options.screenHeight);
}

base::Rect Screen::frame() const { return base::makeRect(0, 0, width_, height_); }

base::Rect Screen::visibleFrame() const {
  const double h = std::max(0.0, height_ - kMenuBarHeight);
  return base::makeRect(0, 0, width_, h);
}

}  // namespace ui
