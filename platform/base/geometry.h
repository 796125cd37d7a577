// Points, sizes and rectangles in points (64-bit floats), origin at the
// bottom left as on the desktop platform's screen coordinates.
#pragma once

namespace base {

struct Point {
  double x = 0;
  double y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  double width = 0;
  double height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  Point origin;
  Size size;
  [[nodiscard]] double minX() const { return origin.x; }
  [[nodiscard]] double minY() const { return origin.y; }
  [[nodiscard]] double maxY() const { return origin.y + size.height; }
  [[nodiscard]] double width() const { return size.width; }
  [[nodiscard]] double height() const { return size.height; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

inline Rect makeRect(double x, double y, double width, double height) {
  return Rect{Point{x, y}, Size{width, height}};
}

}  // namespace base
