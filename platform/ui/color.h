// Colours as four 64-bit components from 0 to 1.
#pragma once

namespace ui {

struct Color {
  double red = 0;
  double green = 0;
  double blue = 0;
  double alpha = 1;
  static Color clearColor() { return Color{0, 0, 0, 0}; }
  static Color whiteColor() { return Color{1, 1, 1, 1}; }
  friend bool operator==(const Color&, const Color&) = default;
};

}  // namespace ui
