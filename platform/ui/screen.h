// The main screen: its size comes from the platform option --screen
// WIDTHxHEIGHT (default 1920x1080). Frames are in points, origin at the
// bottom left, one point per pixel.
#pragma once

#include <memory>

#include "platform/base/geometry.h"

namespace ui {

class Screen {
 public:
  // Height of the menu bar strip along the top edge.
  static constexpr double kMenuBarHeight = 24;

  // The screen with the menu bar. The stand-in always has one.
  static std::shared_ptr<Screen> mainScreen();

  Screen(int width, int height) : width_(width), height_(height) {}

  // The whole screen, menu bar included.
  [[nodiscard]] base::Rect frame() const;
  // The screen without the menu bar strip.
  [[nodiscard]] base::Rect visibleFrame() const;

 private:
  int width_;
  int height_;
};

}  // namespace ui
