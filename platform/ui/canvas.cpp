#include "platform/ui/canvas.h"

#include <algorithm>
#include <cmath>

namespace ui::canvas {

uint8_t toByte(double component) {
  return static_cast<uint8_t>(std::lround(std::clamp(component, 0.0, 1.0) * 255.0));
}

Pixels blank(int width, int height) {
  Pixels image;
  if (width < 1 || height < 1) return image;
  image.width = width;
  image.height = height;
  image.rgba.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
  return image;
}

void fillRect(Pixels& image, int x, int y, int width, int height, Color color) {
  const int x0 = std::max(0, x);
  const int y0 = std::max(0, y);
  const int x1 = std::min(image.width, x + width);
  const int y1 = std::min(image.height, y + height);
  const double as = std::clamp(color.alpha, 0.0, 1.0);
  if (x0 >= x1 || y0 >= y1 || as <= 0) return;
  const double src[3] = {color.red, color.green, color.blue};
  for (int row = y0; row < y1; ++row) {
    uint8_t* p =
        image.rgba.data() +
        (static_cast<size_t>(row) * static_cast<size_t>(image.width) + static_cast<size_t>(x0)) * 4;
    for (int col = x0; col < x1; ++col, p += 4) {
      const double ad = p[3] / 255.0;
      const double out = as + ad * (1 - as);
      for (int c = 0; c < 3; ++c) {
        const double cd = p[c] / 255.0;
        p[c] = toByte((src[c] * as + cd * ad * (1 - as)) / out);
      }
      p[3] = toByte(out);
    }
  }
}

void strokeRect(Pixels& image, int x, int y, int width, int height, Color color) {
  if (width < 1 || height < 1) return;
  fillRect(image, x, y, width, 1, color);
  if (height > 1) fillRect(image, x, y + height - 1, width, 1, color);
  if (height > 2) {
    fillRect(image, x, y + 1, 1, height - 2, color);
    if (width > 1) fillRect(image, x + width - 1, y + 1, 1, height - 2, color);
  }
}

}  // namespace ui::canvas
